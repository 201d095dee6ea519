#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "platform/kernel/kernel.h"

namespace {

unsigned ReturnArgument(void* argument) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(argument));
}

unsigned WaitForGate(void* gate) {
  WaitForSingleObject(static_cast<HANDLE>(gate), INFINITE);
  return 7;
}

TEST(Thread, HandleSignalsAtEndWithItsExitCode) {
  HANDLE thread = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 0, ReturnArgument, reinterpret_cast<void*>(42), 0, nullptr));
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  // An ended thread stays signalled for every later wait.
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  CloseHandle(thread);
}

TEST(Thread, StillActiveWhileRunning) {
  HANDLE gate = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  unsigned id = 0;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WaitForGate, gate, 0, &id));
  EXPECT_NE(id, 0u);
  EXPECT_EQ(GetThreadId(thread), id);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
  SetEvent(gate);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(thread);
  CloseHandle(gate);
}

TEST(Thread, SuspendedThreadStartsOnResume) {
  static std::atomic<bool> ran;
  ran = false;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0,
      [](void*) -> unsigned {
        ran = true;
        return 0;
      },
      nullptr, CREATE_SUSPENDED, nullptr));
  Sleep(20);
  EXPECT_FALSE(ran.load());
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(ran.load());
  CloseHandle(thread);
}

TEST(Thread, SmallRequestedStackStillRunsOrdinaryCode) {
  HANDLE thread = CreateThread(
      nullptr, 16 * 1024,
      [](void*) -> DWORD {
        char buffer[8192];
        std::memset(buffer, 1, sizeof(buffer));
        return buffer[100] + 1;
      },
      nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 2u);
  CloseHandle(thread);
}

TEST(Thread, TerminateIsRefusedAndTheThreadKeepsRunning) {
  HANDLE gate = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread =
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WaitForGate, gate, 0, nullptr));
  EXPECT_FALSE(TerminateThread(thread, 1));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  SetEvent(gate);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(thread);
  CloseHandle(gate);
}

TEST(Thread, ClosingTheHandleLeavesTheThreadRunning) {
  HANDLE gate = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  static HANDLE s_gate, s_done;
  s_gate = gate;
  s_done = done;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0,
      [](void*) -> unsigned {
        WaitForSingleObject(s_gate, INFINITE);
        SetEvent(s_done);
        return 0;
      },
      nullptr, 0, nullptr));
  CloseHandle(thread);
  SetEvent(gate);
  EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
  Sleep(10);  // let the thread leave before its events go
  CloseHandle(gate);
  CloseHandle(done);
}

TEST(Thread, ThreadIdsAreDistinct) {
  DWORD here = GetCurrentThreadId();
  EXPECT_NE(here, 0u);
  EXPECT_EQ(here, GetCurrentThreadId());
  static DWORD other;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void*) -> DWORD {
        other = GetCurrentThreadId();
        return 0;
      },
      nullptr, 0, nullptr);
  WaitForSingleObject(thread, 5000);
  EXPECT_NE(other, here);
  EXPECT_EQ(GetThreadId(thread), other);
  CloseHandle(thread);
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));  // same thread enters again
  static CRITICAL_SECTION* s_section;
  s_section = &section;
  HANDLE thread = CreateThread(
      nullptr, 0, [](void*) -> DWORD { return TryEnterCriticalSection(s_section); }, nullptr, 0,
      nullptr);
  WaitForSingleObject(thread, 5000);
  DWORD code = 1;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(thread);
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
}

}  // namespace
