#include "platform/process/console.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<int> g_first{0};
std::atomic<int> g_second{0};
std::atomic<DWORD> g_type{99};

BOOL First(DWORD type) {
  g_type = type;
  ++g_first;
  return TRUE;
}
BOOL Declines(DWORD) {
  ++g_second;
  return FALSE;
}

bool WaitFor(const std::atomic<int>& counter, int value) {
  for (int i = 0; i < 500; ++i) {
    if (counter.load() >= value) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// One test: the handlers are process-wide.
TEST(ConsoleCtrlHandler, SignalsReachTheHandlersLastAddedFirst) {
  ASSERT_TRUE(SetConsoleCtrlHandler(First, TRUE));
  ASSERT_TRUE(SetConsoleCtrlHandler(Declines, TRUE));

  // The later handler declines, so the earlier one handles it and the process lives on.
  raise(SIGINT);
  ASSERT_TRUE(WaitFor(g_first, 1));
  EXPECT_EQ(g_second.load(), 1);
  EXPECT_EQ(g_type.load(), CTRL_C_EVENT);

  raise(SIGTERM);
  ASSERT_TRUE(WaitFor(g_first, 2));
  EXPECT_EQ(g_type.load(), CTRL_CLOSE_EVENT);

  // Ctrl-C ignored: no handler runs; a close request still does.
  ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, TRUE));
  raise(SIGINT);
  raise(SIGTERM);
  ASSERT_TRUE(WaitFor(g_first, 3));
  EXPECT_EQ(g_type.load(), CTRL_CLOSE_EVENT);
  EXPECT_EQ(g_second.load(), 3);
  ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, FALSE));

  ASSERT_TRUE(SetConsoleCtrlHandler(Declines, FALSE));
  EXPECT_FALSE(SetConsoleCtrlHandler(Declines, FALSE));  // not registered any more
  raise(SIGINT);
  ASSERT_TRUE(WaitFor(g_first, 4));
  EXPECT_EQ(g_second.load(), 3);
  ASSERT_TRUE(SetConsoleCtrlHandler(First, FALSE));
}

}  // namespace
