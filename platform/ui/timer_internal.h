#pragma once
// Internal: the timers behind SetTimer, read by the message pump.

#include <chrono>

#include "platform/ui/ui_types.h"

namespace platform::ui {

using TimePoint = std::chrono::steady_clock::time_point;

// Makes the WM_TIMER of the thread's first due timer that passes the filter, and (remove)
// schedules its next tick. Otherwise sets *next_due to the earliest tick of the thread's
// timers (time_point::max() when it has none). Takes TreeMutex() itself.
bool TakeDueTimer(DWORD thread, HWND filter, UINT first, UINT last, bool remove, MSG* out,
                  TimePoint* next_due);
// REQUIRES: TreeMutex() held.
void KillWindowTimers(HWND window);

}  // namespace platform::ui
