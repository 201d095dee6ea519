#pragma once
// Internal to the platform layer: the waitable objects behind HANDLEs and the one lock that
// guards every object's signalled state. Other platform families (ui, mm) build on it to make
// their own objects waitable; the system's code uses the Windows calls in the public headers.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/kernel/win_types.h"

namespace platform::kernel {

// A thread blocked in a wait; objects it waits on notify it when they change.
struct Waiter {
  std::condition_variable cv;
};

// REQUIRES for every member below: StateMutex() held.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  virtual bool IsSignalled() const = 0;
  // Called when a wait is satisfied by this object (an auto-reset event resets itself).
  virtual void Acquire() {}

  void AddWaiter(Waiter* waiter) { waiters_.push_back(waiter); }
  void RemoveWaiter(Waiter* waiter);
  // Wakes every thread waiting on this object; call after making it signalled.
  void NotifyWaiters();

 private:
  std::vector<Waiter*> waiters_;
};

// Guards the signalled state of every kernel object and every waiter list.
std::mutex& StateMutex();

// The handle table. RegisterObject never returns null; LookupObject returns null for a handle
// that is not open (and sets ERROR_INVALID_HANDLE).
HANDLE RegisterObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupObject(HANDLE handle);
bool UnregisterObject(HANDLE handle);

using Deadline = std::chrono::steady_clock::time_point;
Deadline DeadlineAfter(DWORD milliseconds);  // INFINITE gives time_point::max()

// Waits until one (wait_all false: the lowest-indexed signalled one) or all of the objects
// are signalled, or the deadline passes. Returns WAIT_OBJECT_0 + index or WAIT_TIMEOUT.
DWORD WaitForObjects(const std::vector<std::shared_ptr<KernelObject>>& objects, bool wait_all,
                     Deadline deadline);

}  // namespace platform::kernel
