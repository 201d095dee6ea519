#include "tools/dvrsim/console.h"

#include <mutex>
#include <sstream>
#include <thread>

#include "tools/dvrsim/command_side.h"
#include "tools/dvrsim/rtsp_server.h"

namespace dvrsim {

struct ConsoleReader::Queue {
  std::mutex mutex;
  std::vector<std::string> lines;
};

std::optional<ConsoleCommand> ParseConsoleLine(const std::string& line, int channels,
                                               std::string* error) {
  error->clear();
  std::istringstream words(line);
  std::string verb, number, extra;
  words >> verb >> number >> extra;
  if (verb.empty()) return std::nullopt;
  if (verb == "help" && number.empty()) return ConsoleCommand{ConsoleCommand::kHelp, 0};
  if ((verb != "stop" && verb != "start") || number.empty() || !extra.empty()) {
    *error = "unknown command \"" + line + "\" (stop N, start N, help)";
    return std::nullopt;
  }
  size_t used = 0;
  int channel = 0;
  try {
    channel = std::stoi(number, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != number.size() || channel < 1 || channel > channels) {
    *error = verb + " needs a channel from 1 to " + std::to_string(channels) + ", got \"" + number +
             "\"";
    return std::nullopt;
  }
  return ConsoleCommand{verb == "stop" ? ConsoleCommand::kStop : ConsoleCommand::kStart, channel};
}

const char* ConsoleUsageText() {
  return "\nWhile it serves, dvrsim reads commands on its standard input, one a line:\n"
         "  stop N               close every session of channel N and refuse the channel\n"
         "                       (DESCRIBE and SETUP answer 404) until started again\n"
         "  start N              serve channel N again\n"
         "  help                 list these commands\n"
         "The command side's reply faults can be switched the same way:\n";
}

ConsoleReader::ConsoleReader(std::istream& in) : queue_(std::make_shared<Queue>()) {
  // Detached: a read cannot be interrupted, and the thread holds nothing but the queue.
  std::thread([queue = queue_, &in] {
    std::string line;
    while (std::getline(in, line)) {
      std::lock_guard<std::mutex> lock(queue->mutex);
      queue->lines.push_back(line);
    }
  }).detach();
}

ConsoleReader::~ConsoleReader() = default;

std::vector<std::string> ConsoleReader::TakeLines() {
  std::lock_guard<std::mutex> lock(queue_->mutex);
  std::vector<std::string> lines;
  lines.swap(queue_->lines);
  return lines;
}

void ApplyConsoleLine(const std::string& line, RtspServer& server, int channels, std::ostream& log,
                      CommandServer* commands) {
  if (ApplyCommandConsoleLine(line, commands, log)) return;
  std::string error;
  auto command = ParseConsoleLine(line, channels, &error);
  if (!command) {
    if (!error.empty()) log << "dvrsim: " << error << std::endl;
    return;
  }
  switch (command->kind) {
    case ConsoleCommand::kHelp:
      log << ConsoleUsageText() << CommandConsoleUsageText() << std::flush;
      break;
    case ConsoleCommand::kStop:
      server.SetChannelStopped(command->channel, true);
      log << "dvrsim: channel " << command->channel << " stopped" << std::endl;
      break;
    case ConsoleCommand::kStart:
      server.SetChannelStopped(command->channel, false);
      log << "dvrsim: channel " << command->channel << " served again" << std::endl;
      break;
  }
}

}  // namespace dvrsim
