// The message loop of a thread with windows: sent messages, posted messages, timers and
// painting, in that order of priority.
#include "platform/kernel/kernel.h"
#include "platform/kernel/message_queue_internal.h"
#include "platform/ui/input_internal.h"
#include "platform/ui/message_internal.h"
#include "platform/ui/timer_internal.h"

namespace platform::ui {
namespace {

bool IsMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

// One look at everything the thread could read. Gives true with *out filled, or false with
// *next_due set to when a timer falls due.
bool TryTake(MSG* out, HWND window, UINT first, UINT last, bool remove, TimePoint* next_due) {
  DeliverSentMessages();
  auto queue = kernel::CurrentQueue();
  bool taken;
  {
    std::lock_guard<std::mutex> lock(kernel::StateMutex());
    queue->TakePoke();
    taken = queue->Take(out, window, first, last, remove);
  }
  if (taken) {
    if (remove && IsMouseMessage(out->message)) BeforeMouseMessage(*out);
    if (remove && (out->message == WM_KEYDOWN || out->message == WM_KEYUP)) NoteKeyMessage(*out);
    return true;
  }
  DWORD self = GetCurrentThreadId();
  if (TakeDueTimer(self, window, first, last, remove, out, next_due)) return true;
  return TakePaint(self, window, first, last, out);
}

class UiPump : public kernel::MessagePump {
 public:
  BOOL Get(MSG* message, HWND window, UINT first, UINT last) override {
    if (message == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    auto queue = kernel::CurrentQueue();
    kernel::Waiter waiter;
    for (;;) {
      TimePoint next_due;
      if (TryTake(message, window, first, last, true, &next_due)) {
        return message->message == WM_QUIT ? FALSE : TRUE;
      }
      std::unique_lock<std::mutex> lock(kernel::StateMutex());
      MSG peeked;
      if (queue->TakePoke() || queue->Take(&peeked, window, first, last, false)) continue;
      queue->AddWaiter(&waiter);
      if (next_due == TimePoint::max()) {
        waiter.cv.wait(lock);
      } else {
        waiter.cv.wait_until(lock, next_due);
      }
      queue->RemoveWaiter(&waiter);
    }
  }

  BOOL Peek(MSG* message, HWND window, UINT first, UINT last, UINT remove) override {
    if (message == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    TimePoint next_due;
    return TryTake(message, window, first, last, (remove & PM_REMOVE) != 0, &next_due) ? TRUE
                                                                                       : FALSE;
  }
};

}  // namespace

void InstallPump() {
  static UiPump* pump = new UiPump;  // lives for the whole process
  kernel::InstallMessagePump(pump);
}

}  // namespace platform::ui
