#pragma once

// Time as the transport sees it: wall-clock seconds for keep-alive bookkeeping and the
// engine timer's periods. Tests replace both to drive keep-alive without waiting.

#include <chrono>
#include <cstdint>

namespace sigbus {

// Whole seconds of the wall clock (the C library's time), or of the test clock if set.
std::int64_t now_seconds();

// REQUIRES: called while no engine is open. Null restores the wall clock.
void set_clock_for_testing(std::int64_t (*clock)());

struct timer_periods {
  std::chrono::milliseconds first{5000};  // from engine start to the first expiry
  std::chrono::milliseconds rearm{2000};  // from one handler to the next expiry
};

// The periods new engines use. REQUIRES: changed only while no engine is open.
timer_periods& engine_timer_periods();

}  // namespace sigbus
