#pragma once
// Internal to the platform layer: the per-thread message queues behind PostThreadMessage and
// GetMessage. The window system (platform/ui) posts window messages through the same queues.

#include <deque>
#include <memory>
#include <utility>

#include "platform/kernel/kernel_object.h"

namespace platform::kernel {

// Signalled while it holds any message, so a queue can join a multi-object wait.
class MessageQueue : public KernelObject {
 public:
  bool IsSignalled() const override { return !messages_.empty() || poked_; }

  // Wakes the thread blocked on this queue without a message: the window system uses it
  // when a message was sent to the thread, a window of it needs painting or a timer changed.
  // REQUIRES for both: StateMutex() held.
  void Poke() {
    poked_ = true;
    NotifyWaiters();
  }
  bool TakePoke() { return std::exchange(poked_, false); }

  // REQUIRES for both: StateMutex() held.
  void Post(const MSG& message);
  // Takes (or, remove false, copies) the first message whose window matches `window`
  // (null: any) and whose number lies in [first, last] (both 0: any).
  bool Take(MSG* out, HWND window, UINT first, UINT last, bool remove);

 private:
  std::deque<MSG> messages_;
  bool poked_ = false;
};

// The window system replaces GetMessage and PeekMessage once it is in use, so that messages
// sent from other threads, timers and painting take part in the message loop. Installed
// once for the process; the pump must outlive every thread that reads messages.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  virtual BOOL Get(MSG* message, HWND window, UINT first, UINT last) = 0;
  virtual BOOL Peek(MSG* message, HWND window, UINT first, UINT last, UINT remove) = 0;
};
void InstallMessagePump(MessagePump* pump);

void CreateQueue(DWORD thread_id);
void DropQueue(DWORD thread_id);
// The queue of a thread, or null when it has none. The calling thread's own queue is made on
// first use, as a thread's queue is on its first call into the window system.
std::shared_ptr<MessageQueue> QueueOf(DWORD thread_id);
std::shared_ptr<MessageQueue> CurrentQueue();

}  // namespace platform::kernel
