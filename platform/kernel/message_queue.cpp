#include "platform/kernel/message_queue.h"

#include <atomic>
#include <unordered_map>

#include "platform/kernel/clock.h"
#include "platform/kernel/last_error.h"
#include "platform/kernel/message_queue_internal.h"
#include "platform/kernel/thread.h"

namespace platform::kernel {
namespace {

struct QueueTable {
  std::mutex mutex;
  std::unordered_map<DWORD, std::shared_ptr<MessageQueue>> queues;
};

std::atomic<MessagePump*> g_pump{nullptr};

QueueTable& Queues() {
  static QueueTable* table = new QueueTable;
  return *table;
}

bool Matches(const MSG& message, HWND window, UINT first, UINT last) {
  if (window != nullptr && message.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return message.message >= first && message.message <= last;
}

}  // namespace

void MessageQueue::Post(const MSG& message) {
  messages_.push_back(message);
  NotifyWaiters();
}

bool MessageQueue::Take(MSG* out, HWND window, UINT first, UINT last, bool remove) {
  for (auto it = messages_.begin(); it != messages_.end(); ++it) {
    // WM_QUIT is always delivered, whatever the filter.
    if (it->message == WM_QUIT || Matches(*it, window, first, last)) {
      *out = *it;
      if (remove) messages_.erase(it);
      return true;
    }
  }
  return false;
}

void InstallMessagePump(MessagePump* pump) { g_pump.store(pump); }

void CreateQueue(DWORD thread_id) {
  QueueTable& table = Queues();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto& slot = table.queues[thread_id];
  if (!slot) slot = std::make_shared<MessageQueue>();
}

void DropQueue(DWORD thread_id) {
  std::shared_ptr<MessageQueue> doomed;
  QueueTable& table = Queues();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.queues.find(thread_id);
  if (it == table.queues.end()) return;
  doomed = std::move(it->second);
  table.queues.erase(it);
}

std::shared_ptr<MessageQueue> QueueOf(DWORD thread_id) {
  QueueTable& table = Queues();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.queues.find(thread_id);
  return it == table.queues.end() ? nullptr : it->second;
}

std::shared_ptr<MessageQueue> CurrentQueue() {
  DWORD id = GetCurrentThreadId();
  auto queue = QueueOf(id);
  if (queue) return queue;
  CreateQueue(id);
  return QueueOf(id);
}

}  // namespace platform::kernel

using platform::kernel::StateMutex;

BOOL PostThreadMessageA(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  auto queue = thread_id == GetCurrentThreadId() ? platform::kernel::CurrentQueue()
                                                 : platform::kernel::QueueOf(thread_id);
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  MSG msg{nullptr, message, wparam, lparam, GetTickCount(), {0, 0}};
  std::lock_guard<std::mutex> lock(StateMutex());
  queue->Post(msg);
  return TRUE;
}

BOOL GetMessageA(MSG* message, HWND window, UINT first, UINT last) {
  if (auto* pump = platform::kernel::g_pump.load()) return pump->Get(message, window, first, last);
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto queue = platform::kernel::CurrentQueue();
  platform::kernel::Waiter waiter;
  std::unique_lock<std::mutex> lock(StateMutex());
  while (!queue->Take(message, window, first, last, true)) {
    queue->AddWaiter(&waiter);
    waiter.cv.wait(lock);
    queue->RemoveWaiter(&waiter);
  }
  return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
  if (auto* pump = platform::kernel::g_pump.load()) {
    return pump->Peek(message, window, first, last, remove);
  }
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto queue = platform::kernel::CurrentQueue();
  std::lock_guard<std::mutex> lock(StateMutex());
  return queue->Take(message, window, first, last, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

void PostQuitMessage(int exit_code) {
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, static_cast<WPARAM>(exit_code), 0);
}
