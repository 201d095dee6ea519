#include "tools/dvrsim/options.h"

#include <charconv>
#include <set>
#include <stdexcept>
#include <string>

namespace dvrsim {
namespace {

int IntValue(const std::string& name, const std::string& text, int low, int high) {
  int v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < low || v > high) {
    throw std::invalid_argument(name + " needs a whole number from " + std::to_string(low) +
                                " to " + std::to_string(high) + ", got \"" + text + "\"");
  }
  return v;
}

double ShareValue(const std::string& name, const std::string& text, int high) {
  size_t used = 0;
  double v = -1;
  try {
    v = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || !(v >= 0 && v <= high)) {
    throw std::invalid_argument(name + " needs a number from 0 to " + std::to_string(high) +
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
    throw std::invalid_argument("--size must be cif (352x288) or d1 (720x576), got \"" + text +
                                "\"");
  }
}

void SetScene(Options& o, const std::string& text) {
  if (text != "plain" && text != "busy") {
    throw std::invalid_argument("--scene must be plain or busy, got \"" + text + "\"");
  }
  o.busyScene = text == "busy";
}

// "N=FILE" names a channel; anything else is a file for every other channel.
void AddSource(Options& o, const std::string& text) {
  int channel = 0;
  std::string file = text;
  size_t eq = text.find('=');
  if (eq != std::string::npos && eq > 0 && text.find_first_not_of("0123456789") == eq) {
    channel = IntValue("--source", text.substr(0, eq), 1, 8);
    file = text.substr(eq + 1);
  }
  if (file.empty()) throw std::invalid_argument("--source needs a file name");
  o.sources[channel] = file;
}

}  // namespace

const char* UsageText() {
  return "Usage: dvrsim [options]\n"
         "A DVR simulator: serves live H.264 test channels rtsp://HOST:PORT/N.live over RTSP\n"
         "with RTP/RTCP over UDP (single NAL units and FU-A fragments, 90 kHz timestamps,\n"
         "25 frames/s, a key frame every second). Each channel shows its number and a\n"
         "frame counter; the pictures are coded once at start-up and looped.\n"
         "Tracks: <url>/trackID=1 (video) and, with --audio, <url>/trackID=2 (audio).\n"
         "A session ends on TEARDOWN, when its RTSP connection closes, or when neither a\n"
         "request nor a receiver report arrived for the session timeout.\n"
         "\n"
         "Options:\n"
         "  --port P             RTSP TCP port (default 554; 0 picks a free one)\n"
         "  --bind ADDR          IPv4 address to listen on (default 127.0.0.1)\n"
         "  --channels N         number of live channels /1.live../N.live, 1-8 (default 8)\n"
         "  --size cif|d1        picture size 352x288 (default) or 720x576; also 352x288, 720x576\n"
         "  --loop-frames N      frames coded per channel and looped, a multiple of 25,\n"
         "                       25-250 (default 50); the counter shown runs 0..N-1\n"
         "  --audio              add an audio track (a second media line): IMA ADPCM voice\n"
         "                       frames (type 35, 161 samples, RTP payload 97, 8 kHz clock)\n"
         "                       of a steady tone whose pitch tells the channel:\n"
         "                       300 + 100 x N Hz (channel 1 400 Hz ... channel 8 1100 Hz)\n"
         "  --busy               add changing noise to the pictures, so that frames are\n"
         "                       coded at camera-like sizes (several packets each)\n"
         "  --scene plain|busy   what the pictures show behind the digits: a still gradient\n"
         "                       (plain, the default) or a busy, moving scene with fine\n"
         "                       texture and sensor noise, coded at a camera's bit rate\n"
         "                       (2 Mbit/s at D1); each channel views another part of it\n"
         "  --source [N=]FILE    stream the video of FILE (any file ffmpeg reads) on channel\n"
         "                       N, or without N= on every channel not named otherwise;\n"
         "                       repeatable. The first --loop-frames pictures are coded\n"
         "                       once to this form and size (needs ffmpeg with libx264),\n"
         "                       cached in $DVRSIM_CACHE (default: the temporary\n"
         "                       directory's dvrsim-cache), and looped\n"
         "  --session-timeout S  timeout announced in the Session header (default 60)\n"
         "  --loss F             drop a share F (0-1) of the RTP packets, e.g. 0.05\n"
         "                       (this and the next two apply to video and audio alike)\n"
         "  --reorder F          send a share F of the packets after the packet that follows\n"
         "  --duplicate F        send a share F of the packets twice\n"
         "  --silent-channel N   answer RTSP on channel N but send no RTP, video nor audio\n"
         "                       (repeatable)\n"
         "  --refuse             accept RTSP connections and close them at once\n"
         "  --close-after S      close each RTSP connection S seconds after its first PLAY\n"
         "                       (its sessions stop with it)\n"
         "  --seed N             seed for the fault switches (default 1)\n"
         "  --verbose            log every request on stderr\n"
         "  --help               show this text\n"
         "\n"
         "Prints \"dvrsim ready on port P\" on stdout once it listens; runs until\n"
         "interrupted (Ctrl-C or SIGTERM).\n";
}

namespace {

bool TakesValue(const std::string& name) {
  static const std::set<std::string> kNames = {
      "--port",           "--bind",        "--channels",
      "--size",           "--loop-frames", "--session-timeout",
      "--loss",           "--reorder",     "--duplicate",
      "--silent-channel", "--close-after", "--seed",
      "--scene",          "--source"};
  return kNames.count(name) > 0 || IsCommandOption(name) || IsRecorderOption(name);
}

bool SetFlag(Options& o, const std::string& arg) {
  if (arg == "--help" || arg == "-h") return o.help = true;
  if (arg == "--audio") return o.audio = true;
  if (arg == "--refuse") return o.refuse = true;
  if (arg == "--verbose") return o.verbose = true;
  if (arg == "--busy") return o.busy = true;
  return false;
}

void SetValue(Options& o, const std::string& arg, const std::string& value) {
  if (arg == "--port")
    o.port = IntValue(arg, value, 0, 65535);
  else if (arg == "--bind")
    o.bind = value;
  else if (arg == "--channels")
    o.channels = IntValue(arg, value, 1, 8);
  else if (arg == "--size")
    SetSize(o, value);
  else if (arg == "--loop-frames") {
    o.loopFrames = IntValue(arg, value, 25, 250);
    if (o.loopFrames % 25 != 0) {
      throw std::invalid_argument("--loop-frames must be a multiple of 25, got " + value);
    }
  } else if (arg == "--session-timeout")
    o.sessionTimeout = IntValue(arg, value, 1, 86400);
  else if (arg == "--loss")
    o.faults.loss = ShareValue(arg, value, 1);
  else if (arg == "--reorder")
    o.faults.reorder = ShareValue(arg, value, 1);
  else if (arg == "--duplicate")
    o.faults.duplicate = ShareValue(arg, value, 1);
  else if (arg == "--silent-channel")
    o.silentChannels.insert(IntValue(arg, value, 1, 8));
  else if (arg == "--close-after")
    o.closeAfterPlay = ShareValue(arg, value, 86400);
  else if (IsCommandOption(arg))
    SetCommandOption(o.commands, arg, value);
  else if (IsRecorderOption(arg))
    SetRecorderOption(o.records, arg, value);
  else if (arg == "--seed")
    o.seed = static_cast<unsigned>(IntValue(arg, value, 0, 2147483647));
  else if (arg == "--scene")
    SetScene(o, value);
  else if (arg == "--source")
    AddSource(o, value);
}

}  // namespace

Backdrop PictureBackdrop(const Options& o) {
  if (o.busyScene) return Backdrop::kBusyScene;
  return o.busy ? Backdrop::kNoise : Backdrop::kGradient;
}

bool StreamsSource(const Options& o, int channel) {
  return o.sources.count(channel) > 0 || o.sources.count(0) > 0;
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (SetFlag(o, arg)) continue;
    std::string value;
    size_t eq = arg.find('=');
    bool inlineValue = arg.rfind("--", 0) == 0 && eq != std::string::npos;
    if (inlineValue) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    if (!TakesValue(arg)) {
      throw std::invalid_argument("unknown option \"" + arg + "\" (see --help)");
    }
    if (!inlineValue) {
      if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value (see --help)");
      value = argv[++i];
    }
    SetValue(o, arg, value);
  }
  return o;
}

}  // namespace dvrsim
