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
                                               "--cmd-duplicate", "--cmd-truncate", "--cmd-garble",
                                               "--camera"};
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
  else if (name == "--camera")
    o.liveCameras.insert(WholeValue(name, value, 1, 8));
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
         "                       beyond the datagram's end) and random payload bytes\n"
         "\nCameras: every channel is a camera looking into a larger busy scene.\n"
         "  command 26 (PTZ) moves channel N's view while an action is held: 1 up, 2 down,\n"
         "  3 left, 4 right, 5-8 the diagonals, at the channel's control speed (1-63: 0.1 to\n"
         "  0.875 picture widths a second); 9/10 focus +/- blur or sharpen it, 11/12 zoom +/-\n"
         "  (0.5x-4x), 13/14 iris +/- brighten or darken it; 0 stops. 17 stores the view as\n"
         "  preset 1-255, 18 deletes it, 19 returns to it exactly. No reply. Logged as\n"
         "  \"ptz: channel N action A (name) preset P\" and, for stop and presets, the view.\n"
         "  command 27 (PTZ settings) answers a get with the channel's protocol (0 PELCO-D,\n"
         "  1 PELCO-P), address (1-127, default the channel), speed (1-63, default 32) and\n"
         "  baud index (1-7, default 3); a set in range is stored and confirmed (operation 1),\n"
         "  one out of range is refused and answered like a get, with the settings that hold.\n"
         "  command 56 (image) answers a get with the channel's colour, contrast, luminance\n"
         "  and saturation (default 0/100/0/128); a set changes the channel's pictures (hue,\n"
         "  contrast, brightness, saturation) and is not answered.\n"
         "  A channel's first PTZ action or image set codes it live (from a key frame, one\n"
         "  coder for all its viewers); the others keep looping what was coded at start-up.\n"
         "  Logged as \"camera: channel N coded live from now on\".\n"
         "  --camera N           code channel N (1-8) live from the start; repeatable\n";
}

}  // namespace dvrsim
