#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/kernel/kernel.h"

namespace {

TEST(Event, AutoResetReleasesOneWaitThenResets) {
  HANDLE event = CreateEvent(nullptr, FALSE, TRUE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  SetEvent(event);
  SetEvent(event);  // setting twice still releases a single wait
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(event));
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
  HANDLE event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  SetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ResetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(Event, NamedEventsAreRefusedRatherThanSilentlyPrivate) {
  EXPECT_EQ(CreateEvent(nullptr, FALSE, FALSE, "shared"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(Wait, AnyReportsLowestSignalledIndexAndConsumesOnlyIt) {
  HANDLE events[3] = {CreateEvent(nullptr, FALSE, FALSE, nullptr),
                      CreateEvent(nullptr, FALSE, FALSE, nullptr),
                      CreateEvent(nullptr, FALSE, FALSE, nullptr)};
  SetEvent(events[2]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);
  for (HANDLE e : events) CloseHandle(e);
}

TEST(Wait, AllNeedsEveryObjectAndConsumesNothingOtherwise) {
  HANDLE events[2] = {CreateEvent(nullptr, FALSE, TRUE, nullptr),
                      CreateEvent(nullptr, FALSE, FALSE, nullptr)};
  EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_TIMEOUT);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_TIMEOUT);
  for (HANDLE e : events) CloseHandle(e);
}

TEST(Wait, TimesOutAfterRoughlyTheRequestedTime) {
  HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  DWORD start = GetTickCount();
  EXPECT_EQ(WaitForSingleObject(event, 50), WAIT_TIMEOUT);
  EXPECT_GE(GetTickCount() - start, 49u);
  CloseHandle(event);
}

TEST(Wait, WakesWhenAnotherThreadSignals) {
  HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  std::thread setter([event] {
    Sleep(20);
    SetEvent(event);
  });
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  setter.join();
  CloseHandle(event);
}

TEST(Wait, InvalidAndClosedHandlesFail) {
  HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  CloseHandle(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_FALSE(SetEvent(event));
  HANDLE none[1] = {nullptr};
  EXPECT_EQ(WaitForMultipleObjects(0, none, FALSE, 0), WAIT_FAILED);
}

TEST(Wait, ManyWaitersOnOneManualEventAllWake) {
  HANDLE gate = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 8; ++i) {
    waiters.emplace_back([&] {
      if (WaitForSingleObject(gate, 5000) == WAIT_OBJECT_0) ++woken;
    });
  }
  Sleep(20);
  SetEvent(gate);
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 8);
  CloseHandle(gate);
}

}  // namespace
