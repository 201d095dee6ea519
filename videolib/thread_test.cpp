#include "videolib/thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

#include "platform/kernel/kernel.h"

namespace {

// A worker whose steps are scripted by the test and whose calls are counted.
class ProbeThread : public CThread {
 public:
  std::atomic<int> runs{0};
  std::atomic<int> creates{0};
  std::atomic<int> exits{0};
  std::atomic<int> prepare_result{1};
  std::atomic<int> stop_after_runs{-1};  // Run returns non-zero on this call
  std::atomic<unsigned> on_exit_result{0};
  std::atomic<DWORD> block_ms{0};  // each Run sleeps this long

  HANDLE handle() const { return m_hThread; }
  int exit_flag() { return IsExit(); }
  void RequestStop() { SetEvent(m_hExitEvent); }

  // The exit code of the ended thread, read before Exit closes its handle.
  DWORD WaitForEnd() {
    if (WaitForSingleObject(m_hThread, 5000) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeThread(m_hThread, &code);
    return code;
  }

 protected:
  void OnCreate() override { ++creates; }
  int PrepareRun() override { return prepare_result; }
  unsigned Run() override {
    int n = ++runs;
    if (block_ms) Sleep(block_ms);
    return n == stop_after_runs ? 1 : 0;
  }
  unsigned OnExit() override {
    ++exits;
    return on_exit_result;
  }
};

TEST(CThreadLifecycle, ExitWithoutThreadOnlySetsFlagAndLaterCreateStillWorks) {
  ProbeThread t;
  EXPECT_EQ(t.exit_flag(), 1);
  t.Exit(100);
  EXPECT_EQ(t.handle(), nullptr);
  EXPECT_EQ(t.exit_flag(), 1);
  // The exit event left signalled by Exit must be reset by Create, or the loop would end at once.
  ASSERT_EQ(t.Create(), 1);
  Sleep(100);
  EXPECT_EQ(t.exit_flag(), 0);
  EXPECT_GE(t.runs.load(), 1);
  t.Exit(INFINITE);
  EXPECT_EQ(t.handle(), nullptr);
  EXPECT_EQ(t.creates.load(), 1);
  EXPECT_EQ(t.exits.load(), 1);
}

TEST(CThreadLifecycle, SecondCreateWhileRunningStartsNothing) {
  ProbeThread t;
  ASSERT_EQ(t.Create(), 1);
  HANDLE first = t.handle();
  EXPECT_EQ(t.Create(), 0);
  EXPECT_EQ(t.handle(), first);
  t.Exit(INFINITE);
  EXPECT_EQ(t.creates.load(), 1);
}

TEST(CThreadExitCodes, RunStopGivesTwoAndHandleStaysUntilExit) {
  ProbeThread t;
  t.stop_after_runs = 3;
  t.on_exit_result = 9;  // dropped: the loop's own result wins when it is non-zero
  ASSERT_EQ(t.Create(), 1);
  EXPECT_EQ(t.WaitForEnd(), 2u);
  EXPECT_EQ(t.runs.load(), 3);
  EXPECT_EQ(t.exit_flag(), 1);
  EXPECT_NE(t.handle(), nullptr);
  EXPECT_EQ(t.Create(), 0);  // the ended thread's handle is still held
  t.Exit(1000);
  EXPECT_EQ(t.handle(), nullptr);
  EXPECT_EQ(t.Create(), 1);
  t.Exit(INFINITE);
}

TEST(CThreadExitCodes, FailedPrepareGivesOneWithoutRun) {
  ProbeThread t;
  t.prepare_result = 0;
  ASSERT_EQ(t.Create(), 1);
  EXPECT_EQ(t.WaitForEnd(), 1u);
  EXPECT_EQ(t.runs.load(), 0);
  EXPECT_EQ(t.exits.load(), 1);
  t.Exit(1000);
}

TEST(CThreadExitCodes, StopByExitEventTakesTheResultOfOnExit) {
  ProbeThread t;
  t.on_exit_result = 5;
  ASSERT_EQ(t.Create(), 1);
  Sleep(40);
  // Signal the exit event alone, as Exit does before it waits, and read the code.
  t.RequestStop();
  EXPECT_EQ(t.WaitForEnd(), 5u);
  t.Exit(INFINITE);
  EXPECT_EQ(t.handle(), nullptr);
  EXPECT_EQ(t.exits.load(), 1);
}

TEST(CThreadWork, RunsAboutEveryThirtyMillisecondsWithoutData) {
  ProbeThread t;
  ASSERT_EQ(t.Create(), 1);
  Sleep(330);
  t.Exit(INFINITE);
  // About eleven idle wake-ups in 330 ms; allow for a loaded machine.
  EXPECT_GE(t.runs.load(), 4);
  EXPECT_LE(t.runs.load(), 13);
}

TEST(CThreadWork, DataEventWakesRunAtOnce) {
  ProbeThread t;
  ASSERT_EQ(t.Create(), 1);
  Sleep(50);
  // The time from a moment to the next run, with and without data set at that moment. Woken
  // by its 30 ms idle timer alone the thread takes about 15 ms in the middle case; with data
  // it runs at once. A loaded machine delays both, so the two are compared in one run.
  auto next_run_ms = [&](bool data, int round) {
    Sleep(1 + round % 7);  // a different phase of the idle timer each round
    const int before = t.runs.load();
    const auto from = std::chrono::steady_clock::now();
    if (data) SetEvent(t.DataEvent());
    while (t.runs.load() == before &&
           std::chrono::steady_clock::now() - from < std::chrono::milliseconds(1000)) {
      Sleep(0);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from)
        .count();
  };
  std::vector<double> with_data, idle;
  for (int i = 0; i < 15; ++i) {
    with_data.push_back(next_run_ms(true, i));
    idle.push_back(next_run_ms(false, i));
  }
  t.Exit(INFINITE);
  std::sort(with_data.begin(), with_data.end());
  std::sort(idle.begin(), idle.end());
  EXPECT_LT(with_data[7] * 3, idle[7]) << "middle times " << with_data[7] << " and " << idle[7];
}

TEST(CThreadExit, ThreadOutlivingTheTimeoutIsLeftToFinishAndWaitedForLater) {
  ProbeThread t;
  t.block_ms = 300;
  ASSERT_EQ(t.Create(), 1);
  SetEvent(t.DataEvent());
  while (t.runs.load() == 0) Sleep(1);  // now inside the first Run
  testing::internal::CaptureStderr();
  t.Exit(10);
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("did not end"), std::string::npos);
  EXPECT_NE(t.handle(), nullptr);  // still owned, so nobody frees what it uses
  EXPECT_EQ(t.exit_flag(), 1);
  EXPECT_EQ(t.Create(), 0);
  t.Exit(INFINITE);
  EXPECT_EQ(t.handle(), nullptr);
  EXPECT_EQ(t.exits.load(), 1);
}

TEST(CrLockCS, IsRecursiveAndAutoLockReleasesOnThrow) {
  CrLockCS lock;
  EXPECT_EQ(lock.TryLock(0), 1);
  lock.Lock();
  lock.Unlock();
  lock.Unlock();
  try {
    CrAutoLock guard(&lock);
    throw 1;
  } catch (int) {
  }
  static CrLockCS* s_lock;
  s_lock = &lock;
  HANDLE other = CreateThread(
      nullptr, 0,
      [](void*) -> DWORD {
        s_lock->Lock();
        s_lock->Unlock();
        return 0;
      },
      nullptr, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(other, 5000), WAIT_OBJECT_0);  // the guard released it
  CloseHandle(other);
}

}  // namespace
