#pragma once
// The default name of a downloaded recording, and the file name rule that keeps it inside the
// folder the person chose.

#include <string>

namespace device::records {

// "%s_%s_%s_ch%s.avi" from the device name, start, end and channel column texts ("%s_%s_ch%s.avi"
// without a control, `hasControl` false); every ":" removed, every " " made "_". The DVR's texts
// and the device name may hold anything: the result is passed through SafeFileName.
std::string DefaultDownloadName(const std::string& sipName, const std::string& start,
                                const std::string& end, const std::string& channel,
                                bool hasControl);

// `name` as one file name: "/", "\\" and control characters become "_", and so does every ".."
// (so the name can neither climb out of nor name a folder); an empty name becomes "_".
std::string SafeFileName(const std::string& name);

// The part file a download writes until its last byte arrived: beside the chosen path.
std::string PartPath(const std::string& path);

}  // namespace device::records
