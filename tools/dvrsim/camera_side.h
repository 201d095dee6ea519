#pragma once
// The cameras as the program runs them: commands 26, 27 and 56 handed to a CameraDesk, and
// every channel whose pictures are drawn here (not streamed from a file) given a live camera
// that its sessions follow once it moves.

#include <vector>

#include "tools/dvrsim/command_server.h"
#include "tools/dvrsim/media.h"
#include "tools/dvrsim/options.h"

namespace dvrsim {

// Before `server` starts. Points `loops[i].camera` at the channels' cameras, which live as
// long as the server's handlers; channels named by --camera are coded live at once.
void AttachCameras(CommandServer& server, const Options& options, std::vector<ChannelLoop>& loops);

}  // namespace dvrsim
