#include <atomic>
#include <csignal>
#include <iostream>

#include "tools/dvrsim/run.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int) { g_stop = true; }

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  return dvrsim::RunDvrsim(argc, argv, std::cout, std::cerr, g_stop, &std::cin);
}
