#include <string>
#include <vector>

#include "tools/orvix/host.h"

int main(int argc, char** argv) {
  return orvix::RunHost(std::vector<std::string>(argv + 1, argv + argc));
}
