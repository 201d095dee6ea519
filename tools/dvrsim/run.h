#pragma once

#include <atomic>
#include <istream>
#include <ostream>

namespace dvrsim {

// The whole program: parses the options, codes the channels, serves until `stop` becomes
// true, and returns the exit code (0 fine, 1 runtime failure, 2 bad command line).
// The ready line goes to `out` once the server listens; everything else to `err`.
// Commands are read from `console` while serving, when given (console.h).
int RunDvrsim(int argc, char** argv, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& stop, std::istream* console = nullptr);

}  // namespace dvrsim
