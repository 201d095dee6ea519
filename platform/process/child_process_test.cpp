#include "platform/process/child_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::process {
namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<ChildProcess> Shell(const std::string& script) {
  std::string error;
  auto child = ChildProcess::Spawn("/bin/sh", {"-c", script}, &error);
  EXPECT_NE(child, nullptr) << error;
  return child;
}

TEST(ChildProcess, ReadsLinesThenTerminatesALongRunningChild) {
  auto child = Shell("echo ready; printf 'second\\r\\n'; sleep 10");
  ASSERT_NE(child, nullptr);
  std::string line;
  ASSERT_TRUE(child->ReadLine(&line, 5000));
  EXPECT_EQ(line, "ready");
  ASSERT_TRUE(child->ReadLine(&line, 5000));
  EXPECT_EQ(line, "second");
  EXPECT_FALSE(child->ReadLine(&line, 50));  // nothing more yet, and it is still running
  EXPECT_TRUE(child->Running());
  EXPECT_EQ(child->Wait(50), -1);

  auto start = Clock::now();
  EXPECT_EQ(child->Terminate(), 128 + 15);  // SIGTERM
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_FALSE(child->Running());
}

TEST(ChildProcess, ExitCodeAndLastLineWithoutLineEnd) {
  auto child = Shell("echo one; printf 'tail'; exit 3");
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Wait(5000), 3);
  std::string line;
  ASSERT_TRUE(child->ReadLine(&line, 5000));
  EXPECT_EQ(line, "one");
  ASSERT_TRUE(child->ReadLine(&line, 5000));
  EXPECT_EQ(line, "tail");
  EXPECT_FALSE(child->ReadLine(&line, 5000));
  EXPECT_TRUE(child->OutputEnded());
}

TEST(ChildProcess, ChildIgnoringTermIsKilledAfterTheGrace) {
  auto child = Shell("trap '' TERM; echo armed; while :; do sleep 1; done");
  ASSERT_NE(child, nullptr);
  std::string line;
  ASSERT_TRUE(child->ReadLine(&line, 5000));
  auto start = Clock::now();
  EXPECT_EQ(child->Terminate(300), 128 + 9);  // SIGKILL
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
}

TEST(ChildProcess, ForwardedLinesKeepTheirOrderAndAPipeNeverFills) {
  // Far more than a pipe holds: the child would block if nobody drained it.
  auto child = Shell("echo first; i=0; while [ $i -lt 20000 ]; do echo line$i; i=$((i+1)); done");
  ASSERT_NE(child, nullptr);
  std::string line;
  ASSERT_TRUE(child->ReadLine(&line, 5000));
  EXPECT_EQ(line, "first");
  std::mutex mutex;
  std::vector<std::string> seen;
  child->ForwardLines([&](const std::string& l) {
    std::lock_guard<std::mutex> lock(mutex);
    seen.push_back(l);
  });
  EXPECT_EQ(child->Wait(30000), 0);
  for (int i = 0; i < 200 && !child->OutputEnded(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(seen.size(), 20000u);
  EXPECT_EQ(seen.front(), "line0");
  EXPECT_EQ(seen.back(), "line19999");
}

TEST(ChildProcess, MissingProgramIsReportedAtSpawn) {
  std::string error;
  EXPECT_EQ(ChildProcess::Spawn("/no/such/program", {}, &error), nullptr);
  EXPECT_NE(error.find("/no/such/program"), std::string::npos) << error;
  EXPECT_EQ(ChildProcess::Spawn("no-such-program-on-path", {"x"}, &error), nullptr);
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

TEST(ChildProcess, DestroyingTheObjectStopsTheChildAndWhatItStarted) {
  std::string pid_text, grandchild_text;
  {
    auto child = Shell("echo $$; sleep 30 & echo $!; wait");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(child->ReadLine(&pid_text, 5000));
    ASSERT_TRUE(child->ReadLine(&grandchild_text, 5000));
    EXPECT_EQ(std::to_string(child->pid()), pid_text);
  }
  // Both are gone: signalling them fails soon (the orphan once init has reaped it).
  for (const std::string& pid : {pid_text, grandchild_text}) {
    std::string error;
    auto probe = ChildProcess::Spawn("/bin/sh",
                                     {"-c", "i=0; while kill -0 " + pid +
                                                " 2>/dev/null; do i=$((i+1)); [ $i -lt 150 ] || "
                                                "exit 0; sleep 0.02; done; exit 1"},
                                     &error);
    ASSERT_NE(probe, nullptr) << error;
    EXPECT_EQ(probe->Wait(10000), 1) << "process " << pid << " still runs";
  }
}

}  // namespace
}  // namespace platform::process
