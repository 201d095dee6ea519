#pragma once
// The command side as the program runs it: started from the options beside the RTSP server,
// with channel 1's relay lamps, and steered from the console ("cmd ..." lines).

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tools/dvrsim/command_server.h"
#include "tools/dvrsim/media.h"
#include "tools/dvrsim/options.h"

namespace dvrsim {

// Starts the command server on the options' address and port, logs "commands on UDP port P"
// on `err`, and codes channel 1's loop once per relay mask into `loops`. With the default
// port a bind failure is only warned about (nullptr: no command side); with a port given it
// throws std::runtime_error.
std::unique_ptr<CommandServer> StartCommandSide(const Options& options,
                                                std::vector<ChannelLoop>& loops, std::ostream& err);

// Console lines of the command side:
//   cmd drop F | cmd duplicate F | cmd truncate F | cmd garble F   (shares 0-1)
//   cmd delay MS                                                    (0-60000)
//   cmd off                                                         (every fault off)
//   cmd                                                             (show the faults)
// False when `line` is not a "cmd" line; otherwise applies it (when `server` is there) and
// says what came of it on `log`.
bool ApplyCommandConsoleLine(const std::string& line, CommandServer* server, std::ostream& log);

// The console's part of the usage text for these lines.
const char* CommandConsoleUsageText();

}  // namespace dvrsim
