#include <gtest/gtest.h>

#include "platform/kernel/kernel.h"

namespace {

// Counts the messages it receives until WM_QUIT, and exits with the quit code plus the count.
unsigned CountingLoop(void*) {
  MSG msg;
  DWORD count = 0;
  BOOL got;
  while ((got = GetMessage(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1000;
    count += static_cast<DWORD>(msg.wParam);
  }
  return static_cast<unsigned>(msg.wParam) + count;
}

TEST(ThreadMessages, PostedRightAfterStartAreDeliveredInOrderUntilQuit) {
  unsigned id = 0;
  HANDLE thread =
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, CountingLoop, nullptr, 0, &id));
  for (int i = 1; i <= 10; ++i) EXPECT_TRUE(PostThreadMessage(id, WM_USER, i, 0));
  EXPECT_TRUE(PostThreadMessage(id, WM_QUIT, 100, 0));
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 155u);
  // The thread has ended: its queue is gone.
  EXPECT_FALSE(PostThreadMessage(id, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
  CloseHandle(thread);
}

TEST(ThreadMessages, UnknownThreadIsRefused) {
  EXPECT_FALSE(PostThreadMessage(0xFFFFFF, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
}

TEST(ThreadMessages, PeekNeverBlocksAndHonoursRangeAndRemoval) {
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  PostThreadMessage(GetCurrentThreadId(), WM_USER + 1, 1, 0);
  PostThreadMessage(GetCurrentThreadId(), WM_USER + 5, 5, 0);
  EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_USER + 5, WM_USER + 9, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_TRUE(GetMessage(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER + 1);
  EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(ThreadMessages, QuitMessageEndsGetMessageWithItsCode) {
  PostQuitMessage(3);
  MSG msg;
  EXPECT_EQ(GetMessage(&msg, nullptr, WM_USER, WM_USER), FALSE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace
