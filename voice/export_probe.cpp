// A shared module made of nothing but the whole codec library, the way the viewer modules link
// it: export_probe_test links against this module alone, so it only builds and runs if the
// seven functions stay exported.
