#pragma once
// The command line of the host program.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvix {

struct HostOptions {
  bool help = false;
  // Page properties given on the command line; each overrides the page file's value.
  std::optional<std::string> dvrAddr;
  std::optional<int> channels;
  std::optional<int> preview;
  std::optional<std::string> sipName;
  std::optional<std::string> lang;
  std::optional<int> defaultChannel;
  std::optional<long long> relayState;
  std::string pageFile;
  // --url CELL=URL: RTSP streams of any server in grid cells (1-based), beside the DVR's.
  std::map<int, std::string> cellUrls;

  std::string display = "auto";  // "auto", "x11" or "headless"
  std::string screenshot;        // written after `after` seconds, then the host ends
  std::optional<double> after;   // seconds from the first message loop turn
  std::string answers;           // "ok,cancel,yes": the message boxes' answers, in order
  std::string inputFile;         // timed mouse actions
  std::string captureDir;        // chosen once the viewer is up
  int width = 874;               // a 2 x 2 grid of 352 x 288 cells beside the panel strip
  int height = 576;
  std::string dvrsim;                   // the simulator program; empty: found beside us
  std::vector<std::string> dvrsimArgs;  // more arguments for it
};

// Throws std::invalid_argument with a one-line message fit for the user.
HostOptions ParseHostOptions(const std::vector<std::string>& args);

constexpr int kMaxCellNumber = 16;

// "CELL=rtsp://..." with CELL from 1 to kMaxCellNumber, as --url and a page's "Url" params
// give it. Throws std::invalid_argument naming `what`; the message never holds a password.
std::pair<int, std::string> ParseCellUrl(const std::string& what, const std::string& text);

const char* HostUsageText();

}  // namespace orvix
