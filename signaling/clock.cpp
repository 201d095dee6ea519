#include "signaling/clock.h"

#include <atomic>
#include <ctime>

namespace sigbus {
namespace {

std::atomic<std::int64_t (*)()> g_clock{nullptr};

}  // namespace

std::int64_t now_seconds() {
  auto clock = g_clock.load(std::memory_order_relaxed);
  return clock != nullptr ? clock() : static_cast<std::int64_t>(std::time(nullptr));
}

void set_clock_for_testing(std::int64_t (*clock)()) { g_clock = clock; }

timer_periods& engine_timer_periods() {
  static timer_periods periods;
  return periods;
}

}  // namespace sigbus
