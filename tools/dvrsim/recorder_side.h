#pragma once
// The recorder as the program runs it: its download port opened beside the command server,
// and commands 18 and 46 handed to it.

#include <ostream>

#include "tools/dvrsim/command_server.h"
#include "tools/dvrsim/options.h"

namespace dvrsim {

// Before `server` starts. Opens the download port (logs "downloads on TCP port P" on `err`);
// with the default port a bind failure is only warned about (the searches are still
// answered), with a port given it throws std::runtime_error. The recorder lives as long as
// the server's handlers.
void AttachRecorder(CommandServer& server, const Options& options, std::ostream& err);

}  // namespace dvrsim
