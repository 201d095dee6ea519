#include "tools/dvrsim/options.h"

#include <charconv>
#include <stdexcept>
#include <string>

namespace dvrsim {
namespace {

int IntValue(const std::string& name, const std::string& text, int low, int high) {
  int v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < low || v > high) {
    throw std::invalid_argument(name + " needs a whole number from " + std::to_string(low) + " to " +
                                std::to_string(high) + ", got \"" + text + "\"");
  }
  return v;
}

double ShareValue(const std::string& name, const std::string& text, double high = 1.0) {
  size_t used = 0;
  double v = -1;
  try {
    v = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || !(v >= 0 && v <= high)) {
    throw std::invalid_argument(name + " needs a number from 0 to " + std::to_string(high).substr(0, 4) +
                                ", got \"" + text + "\"");
  }
  return v;
}

void SetSize(Options& o, const std::string& text) {
  if (text == "cif" || text == "352x288") {
    o.width = 352, o.height = 288;
  } else if (text == "d1" || text == "720x576") {
    o.width = 720, o.height = 576;
  } else {
    throw std::invalid_argument("--size must be cif (352x288) or d1 (720x576), got \"" + text + "\"");
  }
}

}  // namespace

const char* UsageText() {
  return "Usage: dvrsim [options]\n"
         "A DVR simulator: serves live H.264 test channels rtsp://HOST:PORT/N.live over RTSP\n"
         "with RTP/RTCP over UDP. Each channel shows its number and a frame counter.\n"
         "\n"
         "Options:\n"
         "  --port P             RTSP TCP port (default 554; 0 picks a free one)\n"
         "  --bind ADDR          IPv4 address to listen on (default 127.0.0.1)\n"
         "  --channels N         number of live channels /1.live../N.live, 1-8 (default 8)\n"
         "  --size cif|d1        picture size 352x288 (default) or 720x576; also 352x288, 720x576\n"
         "  --loop-frames N      frames encoded per channel and looped, a multiple of 25,\n"
         "                       25-250 (default 50); the counter shown runs 0..N-1\n"
         "  --audio              announce a second media line (audio, 8 kHz) and send\n"
         "                       silent voice frames on it\n"
         "  --session-timeout S  timeout announced in the Session header (default 60)\n"
         "  --loss F             drop a share F (0-1) of the RTP packets, e.g. 0.05\n"
         "  --reorder F          send a share F of the packets after the packet that follows\n"
         "  --duplicate F        send a share F of the packets twice\n"
         "  --silent-channel N   answer RTSP on channel N but send no RTP (repeatable)\n"
         "  --refuse             accept RTSP connections and close them at once\n"
         "  --close-after S      close each RTSP connection S seconds after its PLAY\n"
         "  --seed N             seed for the fault switches (default 1)\n"
         "  --help               show this text\n"
         "\n"
         "Prints \"dvrsim ready on port P\" once it listens.\n";
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    if (arg == "--audio") {
      o.audio = true;
      continue;
    }
    if (arg == "--refuse") {
      o.refuse = true;
      continue;
    }
    std::string value;
    size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else if (arg.rfind("--", 0) == 0) {
      throw std::invalid_argument(arg + " needs a value (see --help)");
    }
    if (arg == "--port") o.port = IntValue(arg, value, 0, 65535);
    else if (arg == "--bind") o.bind = value;
    else if (arg == "--channels") o.channels = IntValue(arg, value, 1, 8);
    else if (arg == "--size") SetSize(o, value);
    else if (arg == "--loop-frames") {
      o.loopFrames = IntValue(arg, value, 25, 250);
      if (o.loopFrames % 25 != 0) throw std::invalid_argument("--loop-frames must be a multiple of 25");
    } else if (arg == "--session-timeout") o.sessionTimeout = IntValue(arg, value, 1, 86400);
    else if (arg == "--loss") o.faults.loss = ShareValue(arg, value);
    else if (arg == "--reorder") o.faults.reorder = ShareValue(arg, value);
    else if (arg == "--duplicate") o.faults.duplicate = ShareValue(arg, value);
    else if (arg == "--silent-channel") o.silentChannels.insert(IntValue(arg, value, 1, 8));
    else if (arg == "--close-after") o.closeAfterPlay = ShareValue(arg, value, 86400);
    else if (arg == "--seed") o.seed = static_cast<unsigned>(IntValue(arg, value, 0, 2147483647));
    else throw std::invalid_argument("unknown option \"" + std::string(argv[i - (value.empty() ? 0 : 1)]) + "\" (see --help)");
  }
  return o;
}

}  // namespace dvrsim
