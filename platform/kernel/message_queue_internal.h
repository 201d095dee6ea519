#pragma once
// Internal to the platform layer: the per-thread message queues behind PostThreadMessage and
// GetMessage. The window system (platform/ui) posts window messages through the same queues.

#include <deque>
#include <memory>

#include "platform/kernel/kernel_object.h"

namespace platform::kernel {

// Signalled while it holds any message, so a queue can join a multi-object wait.
class MessageQueue : public KernelObject {
 public:
  bool IsSignalled() const override { return !messages_.empty(); }

  // REQUIRES for both: StateMutex() held.
  void Post(const MSG& message);
  // Takes (or, remove false, copies) the first message whose window matches `window`
  // (null: any) and whose number lies in [first, last] (both 0: any).
  bool Take(MSG* out, HWND window, UINT first, UINT last, bool remove);

 private:
  std::deque<MSG> messages_;
};

void CreateQueue(DWORD thread_id);
void DropQueue(DWORD thread_id);
// The queue of a thread, or null when it has none. The calling thread's own queue is made on
// first use, as a thread's queue is on its first call into the window system.
std::shared_ptr<MessageQueue> QueueOf(DWORD thread_id);
std::shared_ptr<MessageQueue> CurrentQueue();

}  // namespace platform::kernel
