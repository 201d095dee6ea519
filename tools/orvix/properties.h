#pragma once
// The page properties the host gives the viewer: the page file's params, then the command
// line's options over them. Without a page file the host plays a page of its own: four
// channels, preview on, English, all channels in the grid.

#include "tools/orvix/host_options.h"
#include "tools/orvix/hosted_viewer.h"

namespace orvix {

// `page` is the page file's params (empty without one). `dvr_addr` fills "DvrAddr" when
// neither the page nor the options give one (the simulator's address).
// Throws std::invalid_argument when a "Url" param of the page is not "CELL=rtsp://...".
PageProperties BuildProperties(const HostOptions& options, const PageParams& page,
                               const std::string& dvr_addr);

}  // namespace orvix
