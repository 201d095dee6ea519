#include "tools/livepair/livepair_options.h"

#include <cstdlib>
#include <stdexcept>

namespace livepair {
namespace {

using std::invalid_argument;

constexpr int kMaxChannel = 32;
constexpr double kMaxSeconds = 3600;

double Number(const std::string& name, const std::string& text, double low, double high) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(v >= low && v <= high)) {
    throw invalid_argument(name + " needs a number from " + std::to_string(static_cast<int>(low)) +
                           " to " + std::to_string(static_cast<int>(high)) + ", got \"" + text +
                           "\"");
  }
  return v;
}

int Whole(const std::string& name, const std::string& text, int low, int high) {
  const double v = Number(name, text, low, high);
  if (v != static_cast<int>(v)) throw invalid_argument(name + " needs a whole number");
  return static_cast<int>(v);
}

void ParseDvr(const std::string& text, Options* o) {
  const size_t colon = text.rfind(':');
  o->dvrHost = text.substr(0, colon);
  if (colon != std::string::npos)
    o->dvrPort = Whole("--dvr port", text.substr(colon + 1), 1, 65535);
  if (o->dvrHost.empty()) throw invalid_argument("--dvr needs HOST or HOST:PORT");
}

void ParseChannels(const std::string& text, Options* o) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) throw invalid_argument("--channels needs two numbers: A,B");
  o->channels[0] = Whole("--channels", text.substr(0, comma), 1, kMaxChannel);
  o->channels[1] = Whole("--channels", text.substr(comma + 1), 1, kMaxChannel);
}

void Apply(const std::string& name, const std::string& value, Options* o) {
  if (name == "--dvr") {
    ParseDvr(value, o);
  } else if (name == "--channels") {
    ParseChannels(value, o);
  } else if (name == "--seconds") {
    o->seconds = Number(name, value, 0, kMaxSeconds);
  } else if (name == "--record") {
    o->recordSeconds = Whole(name, value, 0, static_cast<int>(kMaxSeconds));
  } else if (name == "--loss") {
    Number(name, value, 0, 1);
    o->loss = value;
  } else if (name == "--out") {
    if (value.empty()) throw invalid_argument("--out needs a directory");
    o->out = value;
  } else if (name == "--dvrsim") {
    o->dvrsim = value;
  } else if (name == "--display") {
    if (value != "headless" && value != "x11" && value != "auto") {
      throw invalid_argument("--display must be headless, x11 or auto, got \"" + value + "\"");
    }
    o->display = value;
  } else {
    throw invalid_argument("unknown option " + name + " (see --help)");
  }
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h") {
      o.help = true;
      continue;
    }
    if (name.rfind("--", 0) != 0) throw invalid_argument("unexpected argument \"" + name + "\"");
    if (i + 1 >= args.size()) throw invalid_argument(name + " needs a value");
    Apply(name, args[++i], &o);
  }
  if (!o.dvrHost.empty() && !o.loss.empty()) {
    throw invalid_argument("--loss works on the started simulator only, not with --dvr");
  }
  if (o.channels[0] == o.channels[1])
    throw invalid_argument("--channels needs two different channels");
  return o;
}

const char* Usage() {
  return "Usage: livepair [options]\n"
         "Shows two live channels of a DVR in two video windows on the headless display, then\n"
         "writes a screenshot, a snapshot of each channel and, when asked, a recording of each.\n"
         "Without --dvr it starts the DVR simulator on loopback for the run.\n"
         "\n"
         "Options:\n"
         "  --dvr HOST[:PORT]   the DVR to view (default port 554)\n"
         "  --channels A,B      the two channels to show (default 1,2)\n"
         "  --seconds N         how long to show them before the screenshot (default 3)\n"
         "  --record SECONDS    then record each channel this long (default 0: no recording)\n"
         "  --loss F            the simulator drops a share F (0-1) of its RTP packets\n"
         "  --out DIR           where the files go (default .); made when missing\n"
         "  --dvrsim PATH       the simulator program (default: dvrsim of this build)\n"
         "  --display NAME      headless (default), x11 or auto\n"
         "  --help              show this text\n"
         "\n"
         "Files: DIR/livepair.png, DIR/livepair_CH<n>_<time>.bmp and, with --record,\n"
         "DIR/livepair_ch<n>.avi; each is named on standard output as it is written.\n";
}

}  // namespace livepair
