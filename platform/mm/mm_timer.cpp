// Multimedia timers: one thread per timer, firing on a steady-clock schedule.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/kernel/event.h"
#include "platform/kernel/last_error.h"
#include "platform/mm/mmsystem.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  UINT id = 0;
  std::chrono::milliseconds period{0};
  bool periodic = false;
  UINT kind = TIME_CALLBACK_FUNCTION;
  LPTIMECALLBACK callback = nullptr;
  DWORD_PTR user = 0;
  std::thread::id thread;

  std::mutex mutex;  // guards the two flags
  std::condition_variable changed;
  bool killed = false;
  bool finished = false;
};

struct TimerTable {
  std::mutex mutex;
  UINT next_id = 1;
  std::unordered_map<UINT, std::shared_ptr<Timer>> timers;
};

TimerTable& Table() {
  static auto* table = new TimerTable;
  return *table;
}

void Fire(const Timer& t) {
  if (t.kind == TIME_CALLBACK_FUNCTION) {
    t.callback(t.id, 0, t.user, 0, 0);
  } else {
    SetEvent(reinterpret_cast<HANDLE>(t.callback));
  }
}

void Forget(UINT id) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  Table().timers.erase(id);
}

void TimerLoop(std::shared_ptr<Timer> t) {
  auto due = Clock::now() + t->period;
  std::unique_lock<std::mutex> lock(t->mutex);
  while (!t->changed.wait_until(lock, due, [&t] { return t->killed; })) {
    lock.unlock();
    Fire(*t);
    lock.lock();
    if (!t->periodic) break;
    due += t->period;
    // After a long stall, go on from now rather than firing the missed periods in a burst.
    if (const auto now = Clock::now(); due + t->period < now) due = now + t->period;
  }
  const bool one_shot_fired = !t->killed;
  t->finished = true;
  t->changed.notify_all();
  lock.unlock();
  if (one_shot_fired) Forget(t->id);
}

}  // namespace

UINT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  const UINT kind = flags & (TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE);
  if (delay < 1 || delay > 1000000 || callback == nullptr ||
      kind == (TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto t = std::make_shared<Timer>();
  t->period = std::chrono::milliseconds(delay);
  t->periodic = (flags & TIME_PERIODIC) != 0;
  t->kind = kind;
  t->callback = callback;
  t->user = user;
  {
    TimerTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    do {
      t->id = table.next_id++;
    } while (t->id == 0 || table.timers.count(t->id) != 0);
    table.timers[t->id] = t;
  }
  std::lock_guard<std::mutex> lock(t->mutex);
  std::thread worker(TimerLoop, t);
  t->thread = worker.get_id();
  worker.detach();
  return t->id;
}

MMRESULT timeKillEvent(UINT timer_id) {
  std::shared_ptr<Timer> t;
  {
    TimerTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.timers.find(timer_id);
    if (it == table.timers.end()) return MMSYSERR_INVALPARAM;
    t = std::move(it->second);
    table.timers.erase(it);
  }
  std::unique_lock<std::mutex> lock(t->mutex);
  t->killed = true;
  t->changed.notify_all();
  // From the timer's own callback the thread cannot be waited for; it ends after returning.
  if (t->thread != std::this_thread::get_id()) {
    t->changed.wait(lock, [&t] { return t->finished; });
  }
  return MMSYSERR_NOERROR;
}
