#include "tools/dvrsim/recorder_options.h"

#include <charconv>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>

namespace dvrsim {
namespace {

int Whole(const std::string& name, const std::string& text, int low, int high) {
  int v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < low || v > high) {
    throw std::invalid_argument(name + " needs a whole number from " + std::to_string(low) +
                                " to " + std::to_string(high) + ", got \"" + text + "\"");
  }
  return v;
}

DownloadFault FaultValue(const std::string& text) {
  static const std::map<std::string, DownloadFault> kFaults = {
      {"none", DownloadFault::kNone},   {"stall", DownloadFault::kStall},
      {"short", DownloadFault::kShort}, {"magic", DownloadFault::kMagic},
      {"code2", DownloadFault::kCode2}, {"code3", DownloadFault::kCode3},
      {"code4", DownloadFault::kCode4}, {"stale", DownloadFault::kStale}};
  auto it = kFaults.find(text);
  if (it == kFaults.end()) {
    throw std::invalid_argument(
        "--download-fault must be none, stall, short, magic, code2, code3, code4 or stale, got "
        "\"" +
        text + "\"");
  }
  return it->second;
}

}  // namespace

bool IsRecorderOption(const std::string& name) {
  static const std::set<std::string> kNames = {
      "--records-per-day", "--record-seconds", "--record-cache", "--download-port",
      "--download-fault",  "--export-fail",    "--export-step"};
  return kNames.count(name) > 0;
}

void SetRecorderOption(RecorderOptions& o, const std::string& name, const std::string& value) {
  if (name == "--records-per-day")
    o.recordsPerDay = Whole(name, value, 1, 720);
  else if (name == "--record-seconds")
    o.recordSeconds = Whole(name, value, 1, 600);
  else if (name == "--record-cache") {
    if (value.empty()) throw std::invalid_argument("--record-cache needs a folder");
    o.cacheDir = value;
  } else if (name == "--download-port")
    o.downloadPort = Whole(name, value, 0, 65535);
  else if (name == "--download-fault")
    o.downloadFault = FaultValue(value);
  else if (name == "--export-fail")
    o.exportFail = Whole(name, value, 0, 4);
  else if (name == "--export-step")
    o.exportStepMs = Whole(name, value, 1, 60000);
  else
    throw std::invalid_argument("unknown option \"" + name + "\" (see --help)");
}

std::string CacheDirectory(const RecorderOptions& o) {
  if (!o.cacheDir.empty()) return o.cacheDir;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/')
    return std::string(xdg) + "/dvrsim";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
    return std::string(home) + "/.cache/dvrsim";
  return "/tmp/dvrsim-cache";
}

const char* RecorderUsageText() {
  return "\nRecordings (command 18 searches them, TCP downloads and command 46 exports them):\n"
         "  each channel has recordings today and the day before: normal ones in segments,\n"
         "  with move-detect, alarm and manual ones among them; the hard disk holds both days,\n"
         "  the SD card today's. Each recording is an AVI file (H.264) whose picture shows the\n"
         "  channel and the time into it (MMSS); made on first use in the cache folder, and\n"
         "  played back over RTSP at /STORAGE_A_C_B_D_SIZE_.avi (its record's locators).\n"
         "  --records-per-day N  recordings per channel and day, 1-720 (default 6)\n"
         "  --record-seconds S   seconds each recording file plays, 1-600 (default 2)\n"
         "  --record-cache DIR   where the files are kept (default $XDG_CACHE_HOME/dvrsim)\n"
         "  --download-port P    TCP port of the downloads (default 2800, only warned about\n"
         "                       when taken; 0 picks a free one). Logged as\n"
         "                       \"downloads on TCP port P\"\n"
         "  --download-fault F   stall (half the file, then silence), short (half the file,\n"
         "                       then close), magic (a wrong magic word), code2, code3, code4\n"
         "                       (that answer), stale (entries whose locators name no file)\n"
         "  --export-fail S      USB exports end with status S: 2 (no USB) and 3 (no space)\n"
         "                       at once, 1 and 4 (failed) after 40 %; 0 (default) completes\n"
         "  --export-step MS     milliseconds between export progress replies of 10 %\n"
         "                       (default 100)\n";
}

}  // namespace dvrsim
