#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/kernel/kernel.h"
#include "platform/mm/mmsystem.h"

namespace {

using Clock = std::chrono::steady_clock;

void Count(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  reinterpret_cast<std::atomic<int>*>(user)->fetch_add(1);
}

TEST(MmTimer, PeriodicEventSetKeepsItsPeriod) {
  HANDLE tick = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  const UINT id = timeSetEvent(20, 0, reinterpret_cast<LPTIMECALLBACK>(tick), 0,
                               TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
  ASSERT_NE(id, 0u);
  const auto start = Clock::now();
  for (int i = 0; i < 10; ++i) ASSERT_EQ(WaitForSingleObject(tick, 1000), WAIT_OBJECT_0);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(180));
  EXPECT_LT(took, std::chrono::milliseconds(600));
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_NOERROR);
  EXPECT_EQ(WaitForSingleObject(tick, 60), WAIT_TIMEOUT);
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
  CloseHandle(tick);
}

TEST(MmTimer, OneShotFiresOnceAndKillStopsCallbacksAtOnce) {
  std::atomic<int> once{0}, periodic{0};
  ASSERT_NE(timeSetEvent(10, 0, Count, reinterpret_cast<DWORD_PTR>(&once), TIME_ONESHOT), 0u);
  const UINT id = timeSetEvent(5, 0, Count, reinterpret_cast<DWORD_PTR>(&periodic), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  Sleep(100);
  EXPECT_EQ(once.load(), 1);
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_NOERROR);
  const int seen = periodic.load();
  EXPECT_GE(seen, 5);
  Sleep(30);
  EXPECT_EQ(periodic.load(), seen);  // no callback after the kill returned
}

TEST(MmTimer, BadArgumentsGiveNoTimer) {
  std::atomic<int> n{0};
  SetLastError(0);
  EXPECT_EQ(timeSetEvent(0, 0, Count, reinterpret_cast<DWORD_PTR>(&n), TIME_PERIODIC), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(timeSetEvent(10, 0, nullptr, 0, TIME_PERIODIC), 0u);
  EXPECT_EQ(timeKillEvent(0), MMSYSERR_INVALPARAM);
}

}  // namespace
