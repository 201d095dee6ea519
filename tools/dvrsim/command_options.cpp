#include "tools/dvrsim/command_options.h"

#include <charconv>
#include <set>
#include <sstream>
#include <stdexcept>

namespace dvrsim {
namespace {

int WholeValue(const std::string& name, const std::string& text, int low, int high) {
  int v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < low || v > high) {
    throw std::invalid_argument(name + " needs a whole number from " + std::to_string(low) +
                                " to " + std::to_string(high) + ", got \"" + text + "\"");
  }
  return v;
}

double Share(const std::string& name, const std::string& text) {
  size_t used = 0;
  double v = -1;
  try {
    v = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || !(v >= 0 && v <= 1)) {
    throw std::invalid_argument(name + " needs a number from 0 to 1, got \"" + text + "\"");
  }
  return v;
}

}  // namespace

bool IsCommandOption(const std::string& name) {
  static const std::set<std::string> kNames = {"--command-port",  "--cmd-drop",     "--cmd-delay",
                                               "--cmd-duplicate", "--cmd-truncate", "--cmd-garble"};
  return kNames.count(name) > 0;
}

void SetCommandOption(CommandOptions& o, const std::string& name, const std::string& value) {
  if (name == "--command-port")
    o.port = WholeValue(name, value, 0, 65535);
  else if (name == "--cmd-drop")
    o.faults.drop = Share(name, value);
  else if (name == "--cmd-delay")
    o.faults.delayMs = WholeValue(name, value, 0, 60000);
  else if (name == "--cmd-duplicate")
    o.faults.duplicate = Share(name, value);
  else if (name == "--cmd-truncate")
    o.faults.truncate = Share(name, value);
  else if (name == "--cmd-garble")
    o.faults.garble = Share(name, value);
  else
    throw std::invalid_argument("unknown option \"" + name + "\" (see --help)");
}

std::string DescribeFaults(const CommandFaults& f) {
  std::ostringstream text;
  text << "command replies: drop " << f.drop << ", delay " << f.delayMs << " ms, duplicate "
       << f.duplicate << ", truncate " << f.truncate << ", garble " << f.garble;
  return text.str();
}

const char* CommandUsageText() {
  return "\nCommands (UDP, on the address given by --bind):\n"
         "  command 54 (status) is answered with an 868-byte information panel record: the\n"
         "  time, disk use, uptime, the two relay outputs and each channel's state;\n"
         "  command 57 (relay) switches two outputs (bit 0 output 1, bit 1 output 2), shown as\n"
         "  two lamps in the upper right corner of channel 1's picture from its next key\n"
         "  frame on. Other codes get no answer. Every command received is logged on stderr.\n"
         "  --command-port P     UDP port of the commands (default 2700, or a free one with\n"
         "                       --port 0; 0 picks a free one). Logged as\n"
         "                       \"commands on UDP port P\"\n"
         "  --cmd-drop F         send no reply for a share F (0-1) of the commands\n"
         "  --cmd-delay MS       send every reply MS milliseconds late (0-60000)\n"
         "  --cmd-duplicate F    send a share F of the replies twice\n"
         "  --cmd-truncate F     cut a share F of the replies short (inside header or payload)\n"
         "  --cmd-garble F       give a share F of the replies a false length word (negative or\n"
         "                       beyond the datagram's end) and random payload bytes\n";
}

}  // namespace dvrsim
