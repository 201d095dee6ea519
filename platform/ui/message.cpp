// Sending, posting and dispatching window messages.
#include "platform/ui/message.h"

#include <deque>
#include <memory>
#include <unordered_map>

#include "platform/kernel/kernel.h"
#include "platform/kernel/message_queue_internal.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/desktop.h"
#include "platform/ui/input.h"
#include "platform/ui/message_internal.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

using Lock = std::lock_guard<std::mutex>;

// How often a sender waiting on another thread checks that the thread still exists.
constexpr auto kSenderCheck = std::chrono::milliseconds(50);

// A message sent to another thread's window. `result` and `done` are guarded by
// kernel::StateMutex(); the rest is fixed at creation.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  DWORD sender;
  LRESULT result = 0;
  bool done = false;
};

// Messages waiting for their receiving thread, by thread id. Guarded by TreeMutex().
std::unordered_map<DWORD, std::deque<std::shared_ptr<SentMessage>>>& Inbox() {
  static auto* inbox = new std::unordered_map<DWORD, std::deque<std::shared_ptr<SentMessage>>>;
  return *inbox;
}

thread_local int t_in_send = 0;

void Complete(SentMessage& sent, LRESULT result) {
  auto queue = kernel::QueueOf(sent.sender);
  std::lock_guard<std::mutex> lock(kernel::StateMutex());
  sent.result = result;
  sent.done = true;
  if (queue) queue->Poke();
}

std::shared_ptr<SentMessage> NextSent(DWORD thread) {
  Lock lock(TreeMutex());
  auto it = Inbox().find(thread);
  if (it == Inbox().end() || it->second.empty()) return nullptr;
  auto sent = it->second.front();
  it->second.pop_front();
  return sent;
}

// Waits for the receiver, running messages sent to this thread meanwhile.
LRESULT AwaitReply(const std::shared_ptr<SentMessage>& sent, DWORD receiver) {
  auto own = kernel::CurrentQueue();
  kernel::Waiter waiter;
  for (;;) {
    DeliverSentMessages();
    std::unique_lock<std::mutex> lock(kernel::StateMutex());
    if (sent->done) return sent->result;
    if (own->TakePoke()) continue;
    own->AddWaiter(&waiter);
    waiter.cv.wait_for(lock, kSenderCheck);
    own->RemoveWaiter(&waiter);
    if (sent->done) return sent->result;
    lock.unlock();
    if (!kernel::QueueOf(receiver)) return 0;  // the thread ended without reading it
  }
}

LRESULT SendToThread(HWND window, DWORD receiver, UINT message, WPARAM wparam, LPARAM lparam) {
  auto queue = kernel::QueueOf(receiver);
  if (!queue) return 0;
  auto sent = std::make_shared<SentMessage>(
      SentMessage{window, message, wparam, lparam, GetCurrentThreadId()});
  {
    Lock lock(TreeMutex());
    Inbox()[receiver].push_back(sent);
  }
  {
    std::lock_guard<std::mutex> lock(kernel::StateMutex());
    queue->Poke();
  }
  return AwaitReply(sent, receiver);
}

}  // namespace

LRESULT CallProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc;
  {
    Lock lock(TreeMutex());
    Window* w = Find(window);
    if (w == nullptr) return 0;
    proc = w->proc;
  }
  return proc ? proc(window, message, wparam, lparam) : 0;
}

void DeliverSentMessages() {
  DWORD self = GetCurrentThreadId();
  while (auto sent = NextSent(self)) {
    ++t_in_send;
    LRESULT result = CallProc(sent->window, sent->message, sent->wparam, sent->lparam);
    --t_in_send;
    Complete(*sent, result);
  }
}

}  // namespace platform::ui

using platform::ui::TreeMutex;

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD thread;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    platform::ui::Window* w = platform::ui::Find(window);
    if (w == nullptr) return 0;
    thread = w->thread;
  }
  if (thread == GetCurrentThreadId()) {
    return platform::ui::CallProc(window, message, wparam, lparam);
  }
  return platform::ui::SendToThread(window, thread, message, wparam, lparam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window == nullptr) return PostThreadMessageA(GetCurrentThreadId(), message, wparam, lparam);
  DWORD thread;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    platform::ui::Window* w = platform::ui::Find(window);
    if (w == nullptr) return FALSE;
    thread = w->thread;
  }
  auto queue = thread == GetCurrentThreadId() ? platform::kernel::CurrentQueue()
                                              : platform::kernel::QueueOf(thread);
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  MSG msg{window, message, wparam, lparam, GetTickCount(), {0, 0}};
  GetCursorPos(&msg.pt);
  std::lock_guard<std::mutex> lock(platform::kernel::StateMutex());
  queue->Post(msg);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr) return 0;
  if (message->message == WM_TIMER && message->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(message->lParam);
    proc(message->hwnd, WM_TIMER, message->wParam, GetTickCount());
    return 0;
  }
  if (message->hwnd == nullptr || !IsWindow(message->hwnd)) return 0;
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL InSendMessage() { return platform::ui::t_in_send > 0 ? TRUE : FALSE; }

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return proc ? proc(window, message, wparam, lparam) : 0;
}

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr || message->message != WM_KEYDOWN) return FALSE;
  if (message->lParam & platform::ui::kKeyHasText) return FALSE;  // its WM_CHARs are on the way
  UINT key = static_cast<UINT>(message->wParam);
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool control = GetKeyState(VK_CONTROL) < 0;
  if (GetKeyState(VK_MENU) < 0) return FALSE;  // Alt with a key is a command, not text
  char c = 0;
  if (key >= 'A' && key <= 'Z' && control) {
    c = static_cast<char>(key - 'A' + 1);  // Ctrl+A is 1, Ctrl+C is 3...
  } else if (key >= 'A' && key <= 'Z') {
    c = static_cast<char>(shift ? key : key - 'A' + 'a');
  } else if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_BACK || key == VK_TAB ||
             key == VK_ESCAPE) {
    c = static_cast<char>(key);
  } else if (key == VK_RETURN) {
    c = '\r';
  }
  if (c == 0) return FALSE;
  return PostMessageA(message->hwnd, WM_CHAR, static_cast<WPARAM>(c), message->lParam);
}
