#pragma once
// Commands typed on the simulator's standard input while it serves, so that a person or a
// test can take a channel away and give it back: "stop N" closes every session of channel N
// and refuses it from then on, "start N" serves it again.

#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace dvrsim {

class RtspServer;
class CommandServer;

struct ConsoleCommand {
  enum Kind { kStop, kStart, kHelp } kind = kHelp;
  int channel = 0;  // 1-based
};

// One line; blank lines give nullopt with *error empty. Throws nothing: a bad line gives
// nullopt with *error set to a one-line message.
std::optional<ConsoleCommand> ParseConsoleLine(const std::string& line, int channels,
                                               std::string* error);

// The console's part of the usage text.
const char* ConsoleUsageText();

// Reads lines from a stream on a thread of its own. The reader never touches the server:
// the serving loop takes the lines and applies them, so a reader still blocked on input when
// the server goes cannot reach it.
class ConsoleReader {
 public:
  explicit ConsoleReader(std::istream& in);
  ~ConsoleReader();
  ConsoleReader(const ConsoleReader&) = delete;
  ConsoleReader& operator=(const ConsoleReader&) = delete;

  // The lines read since the last call.
  std::vector<std::string> TakeLines();

 private:
  struct Queue;
  std::shared_ptr<Queue> queue_;
};

// Applies the line to the server and says what came of it on `log`.
// "cmd ..." lines go to the command side (command_side.h), when there is one.
void ApplyConsoleLine(const std::string& line, RtspServer& server, int channels, std::ostream& log,
                      CommandServer* commands = nullptr);

}  // namespace dvrsim
