#include "platform/kernel/kernel_object.h"

#include <algorithm>
#include <unordered_map>

#include "platform/kernel/last_error.h"

namespace platform::kernel {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x100;  // multiples of 4, never null, never INVALID_HANDLE_VALUE
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // lives for the whole process
  return *table;
}

}  // namespace

std::mutex& StateMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

void KernelObject::RemoveWaiter(Waiter* waiter) {
  auto it = std::find(waiters_.begin(), waiters_.end(), waiter);
  if (it != waiters_.end()) waiters_.erase(it);
}

void KernelObject::NotifyWaiters() {
  for (Waiter* waiter : waiters_) waiter->cv.notify_one();
}

HANDLE RegisterObject(std::shared_ptr<KernelObject> object) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  HANDLE handle = reinterpret_cast<HANDLE>(table.next);
  table.next += 4;
  table.objects.emplace(handle, std::move(object));
  return handle;
}

std::shared_ptr<KernelObject> LookupObject(HANDLE handle) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.objects.find(handle);
  if (it == table.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

bool UnregisterObject(HANDLE handle) {
  std::shared_ptr<KernelObject> doomed;  // destroyed outside the table lock
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.objects.find(handle);
  if (it == table.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  doomed = std::move(it->second);
  table.objects.erase(it);
  return true;
}

Deadline DeadlineAfter(DWORD milliseconds) {
  if (milliseconds == INFINITE) return Deadline::max();
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

namespace {

// REQUIRES: StateMutex() held. Returns the satisfied index, or -1.
int TrySatisfy(const std::vector<std::shared_ptr<KernelObject>>& objects, bool wait_all) {
  if (wait_all) {
    for (const auto& object : objects) {
      if (!object->IsSignalled()) return -1;
    }
    for (const auto& object : objects) object->Acquire();
    return 0;
  }
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->IsSignalled()) {
      objects[i]->Acquire();
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace

DWORD WaitForObjects(const std::vector<std::shared_ptr<KernelObject>>& objects, bool wait_all,
                     Deadline deadline) {
  std::unique_lock<std::mutex> lock(StateMutex());
  Waiter waiter;
  for (;;) {
    int index = TrySatisfy(objects, wait_all);
    if (index >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(index);
    if (std::chrono::steady_clock::now() >= deadline) return WAIT_TIMEOUT;
    for (const auto& object : objects) object->AddWaiter(&waiter);
    if (deadline == Deadline::max()) {
      waiter.cv.wait(lock);
    } else {
      waiter.cv.wait_until(lock, deadline);
    }
    for (const auto& object : objects) object->RemoveWaiter(&waiter);
  }
}

}  // namespace platform::kernel
