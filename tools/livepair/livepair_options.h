#pragma once
// The command line of livepair.

#include <array>
#include <string>
#include <vector>

namespace livepair {

struct Options {
  std::string dvrHost;  // empty: start a simulator on loopback
  int dvrPort = 554;
  std::array<int, 2> channels = {1, 2};
  double seconds = 3;  // before the screenshot and snapshots
  int recordSeconds = 0;
  std::string loss;  // the simulator's packet loss share, as given
  std::string out = ".";
  std::string dvrsim;  // the simulator program; empty: found beside this one
  std::string display = "headless";
  bool help = false;
};

// Throws std::invalid_argument with a one-line message on a bad or incomplete option.
Options ParseOptions(const std::vector<std::string>& args);
const char* Usage();

}  // namespace livepair
