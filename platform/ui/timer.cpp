// SetTimer and KillTimer, and the WM_TIMER the message pump makes from them.
#include <algorithm>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/ui/desktop.h"
#include "platform/ui/message.h"
#include "platform/ui/timer_internal.h"

namespace platform::ui {
namespace {

constexpr UINT kMinimumElapse = 10;
constexpr UINT_PTR kFirstThreadTimerId = 0x7FF0;

struct Timer {
  DWORD thread;
  HWND window;
  UINT_PTR id;
  std::chrono::milliseconds period;
  TIMERPROC proc;
  TimePoint due;
};

// Guarded by TreeMutex().
std::vector<Timer>& Timers() {
  static auto* timers = new std::vector<Timer>;
  return *timers;
}

bool Passes(const Timer& t, HWND filter, UINT first, UINT last) {
  if (filter != nullptr && t.window != filter) return false;
  return (first == 0 && last == 0) || (WM_TIMER >= first && WM_TIMER <= last);
}

}  // namespace

bool TakeDueTimer(DWORD thread, HWND filter, UINT first, UINT last, bool remove, MSG* out,
                  TimePoint* next_due) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  TimePoint now = std::chrono::steady_clock::now();
  *next_due = TimePoint::max();
  for (Timer& t : Timers()) {
    if (t.thread != thread) continue;
    if (t.due <= now && Passes(t, filter, first, last)) {
      *out =
          MSG{t.window, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), GetTickCount(), {0, 0}};
      // A late timer ticks once, not once per missed period.
      if (remove) t.due = now + t.period;
      return true;
    }
    *next_due = std::min(*next_due, t.due);
  }
  return false;
}

void KillWindowTimers(HWND window) {
  auto& timers = Timers();
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const Timer& t) { return t.window == window; }),
               timers.end());
}

}  // namespace platform::ui

using platform::ui::Timer;
using platform::ui::Timers;
using platform::ui::TreeMutex;

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  platform::ui::EnsureStarted();
  DWORD thread = GetCurrentThreadId();
  std::lock_guard<std::mutex> lock(TreeMutex());
  if (window != nullptr) {
    platform::ui::Window* w = platform::ui::Find(window);
    if (w == nullptr) return 0;
    thread = w->thread;
  }
  auto period = std::chrono::milliseconds(std::max(elapse, platform::ui::kMinimumElapse));
  auto due = std::chrono::steady_clock::now() + period;
  auto& timers = Timers();
  if (window != nullptr) {
    for (Timer& t : timers) {
      if (t.window == window && t.id == id) {
        t = Timer{thread, window, id, period, proc, due};
        platform::ui::PokeThread(thread);
        return id;
      }
    }
  } else {
    static UINT_PTR next_id = platform::ui::kFirstThreadTimerId;
    id = next_id++;
  }
  timers.push_back(Timer{thread, window, id, period, proc, due});
  platform::ui::PokeThread(thread);
  return window != nullptr && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  auto& timers = Timers();
  DWORD self = GetCurrentThreadId();
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) {
    return t.window == window && t.id == id && (window != nullptr || t.thread == self);
  });
  if (it == timers.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  timers.erase(it);
  return TRUE;
}
