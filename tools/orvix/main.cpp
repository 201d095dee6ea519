#include <cstdio>
#include <string>
#include <vector>

#include "tools/orvix/host.h"

int main(int argc, char** argv) {
  // The diagnostics are read as they come, through pipes too: a line goes out whole, at once,
  // and never shares a write with part of another.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  return orvix::RunHost(std::vector<std::string>(argv + 1, argv + argc));
}
