#pragma once
// The host program's run: it plays the browser for one viewer.

#include <string>
#include <vector>

namespace orvix {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Parses the arguments (without the program name), runs the host and gives the exit status.
// Errors are one line on standard error starting with "orvix: ".
int RunHost(const std::vector<std::string>& args);

}  // namespace orvix
