#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/kernel/kernel.h"
#include "platform/ui/test_support.h"

namespace platform::ui {
namespace {

using test::Log;
using test::MakeWindow;

// A thread that owns one window of the given class and runs a message loop until WM_QUIT.
class UiThread {
 public:
  explicit UiThread(LPCSTR class_name) {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    class_name_ = class_name;
    thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, &id_));
    WaitForSingleObject(ready_, 5000);
  }
  ~UiThread() {
    Stop();
    CloseHandle(ready_);
  }
  void Stop() {
    if (thread_ == nullptr) return;
    PostThreadMessageA(id_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  HWND window() const { return window_; }
  DWORD id() const { return id_; }

 private:
  static unsigned Run(void* self_ptr) {
    auto* self = static_cast<UiThread*>(self_ptr);
    self->window_ = MakeWindow(self->class_name_, WS_POPUP, 0, 0, 10, 10, nullptr);
    SetEvent(self->ready_);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(self->window_);
    return 0;
  }
  LPCSTR class_name_;
  HANDLE ready_;
  HANDLE thread_ = nullptr;
  unsigned id_ = 0;
  HWND window_ = nullptr;
};

std::atomic<DWORD> g_handled_on{0};
HWND g_reply_to = nullptr;

LRESULT EchoProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER + 1) {
    g_handled_on = GetCurrentThreadId();
    return static_cast<LRESULT>(wparam * 2);
  }
  if (message == WM_USER + 2) {
    // Sends back to the original sender while it waits: must not dead-lock.
    return SendMessageA(g_reply_to, WM_USER + 3, wparam, 0) + 1;
  }
  if (message == WM_USER + 3) return static_cast<LRESULT>(wparam + 100);
  return DefWindowProcA(window, message, wparam, lparam);
}

void RegisterEcho() {
  static bool done = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = EchoProc;
    wc.lpszClassName = "Echo";
    return RegisterClassA(&wc) != 0;
  }();
  ASSERT_TRUE(done);
}

TEST(SendMessage, CrossThreadRunsOnTheWindowsThreadAndWaitsForTheResult) {
  RegisterEcho();
  UiThread ui("Echo");
  ASSERT_NE(ui.window(), nullptr);
  EXPECT_EQ(SendMessageA(ui.window(), WM_USER + 1, 21, 0), 42);
  EXPECT_EQ(g_handled_on.load(), ui.id());
  EXPECT_NE(g_handled_on.load(), GetCurrentThreadId());
}

TEST(SendMessage, ReceiverSendingBackToTheWaitingSenderIsServed) {
  RegisterEcho();
  UiThread ui("Echo");
  HWND mine = MakeWindow("Echo", WS_POPUP, 0, 0, 5, 5, nullptr);
  g_reply_to = mine;
  EXPECT_EQ(SendMessageA(ui.window(), WM_USER + 2, 5, 0), 106);
  DestroyWindow(mine);
}

TEST(SendMessage, ToAThreadThatEndedGivesZeroInsteadOfWaitingForever) {
  RegisterEcho();
  UiThread ui("Echo");
  HWND window = ui.window();
  ui.Stop();  // the thread destroyed its window and ended
  EXPECT_EQ(SendMessageA(window, WM_USER + 1, 1, 0), 0);
}

TEST(SendMessage, ToAThreadThatNeverReadsAgainReturnsWhenItEnds) {
  RegisterEcho();
  HWND window = nullptr;
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  struct Args {
    HWND* window;
    HANDLE go, made;
  } args{&window, go, made};
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0,
      [](void* p) -> unsigned {
        auto* a = static_cast<Args*>(p);
        *a->window = MakeWindow("Echo", WS_POPUP, 0, 0, 5, 5, nullptr);
        SetEvent(a->made);
        WaitForSingleObject(a->go, 5000);
        return 0;  // ends without a message loop, its window left behind
      },
      &args, 0, nullptr));
  WaitForSingleObject(made, 5000);
  std::thread releaser([&] {
    Sleep(100);
    SetEvent(go);
  });
  EXPECT_EQ(SendMessageA(window, WM_USER + 1, 3, 0), 0);
  releaser.join();
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  CloseHandle(go);
  CloseHandle(made);
}

TEST(PostMessage, PostedMessagesArriveInOrderThroughTheLoop) {
  HWND w = MakeWindow("Recorder", WS_POPUP, 0, 0, 5, 5, nullptr);
  Log().Clear();
  for (int i = 0; i < 3; ++i) PostMessageA(w, WM_USER + 10 + i, 0, 0);
  PostMessageA(nullptr, WM_USER + 20, 0, 0);  // a thread message
  MSG msg;
  std::vector<UINT> got;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    got.push_back(msg.message);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 10, WM_USER + 11, WM_USER + 12, WM_USER + 20}));
  EXPECT_EQ(Log().Messages(w, {WM_USER + 10, WM_USER + 11, WM_USER + 12}).size(), 3u);
  DestroyWindow(w);
  test::Drain();
}

std::atomic<int> g_proc_ticks{0};
void CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_proc_ticks; }

TEST(Timer, TicksRepeatUntilKilledAndComeAfterPostedMessages) {
  HWND w = MakeWindow("Recorder", WS_POPUP, 0, 0, 5, 5, nullptr);
  test::Drain();
  Log().Clear();
  ASSERT_EQ(SetTimer(w, 10, 20, nullptr), 10u);
  Sleep(30);
  PostMessageA(w, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER);  // posted before the due timer
  int ticks = 0;
  auto start = std::chrono::steady_clock::now();
  while (ticks < 3 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    if (msg.message == WM_TIMER) {
      EXPECT_EQ(msg.hwnd, w);
      EXPECT_EQ(msg.wParam, 10u);
      ++ticks;
    }
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(ticks, 3);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
  EXPECT_TRUE(KillTimer(w, 10));
  EXPECT_FALSE(KillTimer(w, 10));
  Sleep(40);
  EXPECT_FALSE(PeekMessageA(&msg, w, WM_TIMER, WM_TIMER, PM_REMOVE));
  DestroyWindow(w);
  test::Drain();
}

TEST(Timer, ThreadTimerWithAProcedureIsCalledByDispatch) {
  g_proc_ticks = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 10, CountTick);
  ASSERT_NE(id, 0u);
  MSG msg;
  while (g_proc_ticks < 2 && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
  EXPECT_TRUE(KillTimer(nullptr, id));
  EXPECT_EQ(g_proc_ticks.load(), 2);
}

TEST(Timer, DestroyingTheWindowKillsItsTimers) {
  HWND w = MakeWindow("Recorder", WS_POPUP, 0, 0, 5, 5, nullptr);
  SetTimer(w, 1, 10, nullptr);
  DestroyWindow(w);
  Sleep(20);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_FALSE(KillTimer(w, 1));
}

TEST(MessageLoop, AnotherThreadsPostWakesABlockedGetMessage) {
  DWORD self = GetCurrentThreadId();
  HWND w = MakeWindow("Recorder", WS_POPUP, 0, 0, 5, 5, nullptr);
  test::Drain();
  std::thread poster([&] {
    Sleep(30);
    PostMessageA(w, WM_USER + 7, 0, 0);
    PostThreadMessageA(self, WM_QUIT, 3, 0);
  });
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER + 7);
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.wParam, 3u);
  poster.join();
  DestroyWindow(w);
  test::Drain();
}

}  // namespace
}  // namespace platform::ui
