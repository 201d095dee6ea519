#pragma once
// The simulator's command side on the command line: its UDP port and the faults it puts on
// its replies.

#include <set>
#include <string>

namespace dvrsim {

// Faults put on the replies to commands, each reply rolled on its own.
struct CommandFaults {
  double drop = 0;       // share of replies never sent
  double duplicate = 0;  // share sent twice
  double truncate = 0;   // share cut short somewhere inside header or payload
  double garble = 0;     // share with a false length word and random payload bytes
  int delayMs = 0;       // every reply sent this late
};

inline constexpr int kDefaultCommandPort = 2700;

struct CommandOptions {
  // -1: the default, 2700 (a free one when the RTSP port is chosen freely, --port 0); a port
  // that cannot be bound is then only warned about. 0 or a given port: bound or fail.
  int port = -1;
  CommandFaults faults;
  std::set<int> liveCameras;  // channels coded live from the start (--camera N)
};

// Whether `name` is an option of the command side (they all take a value).
bool IsCommandOption(const std::string& name);

// Sets the option. Throws std::invalid_argument with a message fit for the user.
void SetCommandOption(CommandOptions& options, const std::string& name, const std::string& value);

// One line describing the faults, for the console.
std::string DescribeFaults(const CommandFaults& faults);

// The command side's part of the usage text.
const char* CommandUsageText();

}  // namespace dvrsim
