// The session against the DVR simulator on loopback, with the real video playout: a live
// channel plays at its frame rate, receiver reports reach the DVR, the run ends with a
// teardown, and lost and reordered packets do not stop it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/process/child_process.h"
#include "stream/playout_test_support.h"
#include "stream/rtsp_session.h"
#include "stream/test_session_run.h"
#include "stream/video_playout.h"

namespace {

using platform::process::ChildProcess;
using Clock = std::chrono::steady_clock;

constexpr char kReady[] = "dvrsim ready on port ";
constexpr double kFramesPerSecond = 25.0;

// dvrsim with its log (standard error) joined to its standard output, so that the test sees
// the requests it served and the counts it prints when stopped.
class Dvrsim {
 public:
  explicit Dvrsim(const std::string& extra) {
    std::string command =
        "exec '" DVRSIM_PROGRAM "' --port 0 --channels 2 --verbose " + extra + " 2>&1";
    std::string error;
    child_ = ChildProcess::Spawn("/bin/sh", {"-c", command}, &error);
    if (!child_) {
      log_ = error;
      return;
    }
    std::string line;
    // Coding the channels' pictures comes first; sanitizer builds take a while for it.
    while (port_ == 0 && child_->ReadLine(&line, 60000)) {
      log_ += line + "\n";
      if (line.rfind(kReady, 0) == 0) port_ = std::stoi(line.substr(sizeof kReady - 1));
    }
  }
  ~Dvrsim() { Stop(); }

  int Port() const { return port_; }
  std::string Url(int channel) const {
    return "rtsp://127.0.0.1:" + std::to_string(port_) + "/" + std::to_string(channel) + ".live";
  }
  // Stops it and keeps the rest of its output; the whole output so far.
  const std::string& Stop() {
    if (child_) {
      child_->Terminate();
      std::string line;
      while (child_->ReadLine(&line, 2000)) log_ += line + "\n";
      child_.reset();
    }
    return log_;
  }
  const std::string& Log() const { return log_; }

 private:
  std::unique_ptr<ChildProcess> child_;
  std::string log_;
  int port_ = 0;
};

// The start of a coded picture: a slice NAL unit (types 1 and 5, behind the 4-byte start
// code) whose first macroblock is 0, i.e. whose ue(v) first field is the single bit 1.
size_t Pictures(const std::vector<std::vector<uint8_t>>& units) {
  size_t count = 0;
  for (const auto& unit : units) {
    if (unit.size() < 6) continue;
    int type = unit[4] & 0x1F;
    if ((type == 1 || type == 5) && (unit[5] & 0x80)) ++count;
  }
  return count;
}

// A live run with the real video playout delivering to the recorder.
class DvrsimSessionTest : public testing::Test {
 protected:
  void SetUp() override { run_.session.channel = TestChannel(); }
  void TearDown() override {
    if (run_.session.threadHandle) run_.Stop();
  }

  // Opens channel 1 of `dvr` and waits for its first picture; false when none came.
  bool Open(const Dvrsim& dvr) {
    if (StartRtspSession(dvr.Url(1).c_str(), &run_.session) != 0) return false;
    return WaitFor([&] { return Pictures(recorder_.Units()) > 0; }, 15000);
  }
  // Pictures delivered per second over `seconds`.
  double MeasureRate(double seconds) {
    size_t first = Pictures(recorder_.Units());
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    size_t last = Pictures(recorder_.Units());
    std::chrono::duration<double> took = Clock::now() - start;
    return (last - first) / took.count();
  }

  SessionRun run_{RecordingOptions({VideoPlayoutThread, nullptr})};
  UnitRecorder recorder_;
};

TEST_F(DvrsimSessionTest, LiveChannelPlaysAtItsRateReportsAndTearsDown) {
  Dvrsim dvr("");
  ASSERT_GT(dvr.Port(), 0) << dvr.Log();
  CapturedOutput captured;
  ASSERT_TRUE(Open(dvr)) << captured.Take() << dvr.Log();
  EXPECT_EQ(run_.session.videoClock, 90000u);
  // Past the prebuffering, pictures leave the playout at the pace the DVR sends them.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  double rate = MeasureRate(3.0);
  std::fprintf(stderr, "pictures per second: %.2f\n", rate);
  EXPECT_NEAR(rate, kFramesPerSecond, 4.0);
  EXPECT_NE(run_.session.lastVideoReportTimestamp, 0u);
  EXPECT_EQ(run_.Wait(0), STILL_ACTIVE);
  EXPECT_EQ(run_.Stop(), 0u);
  std::string output = captured.Take();
  if (HasFailure()) std::printf("%s", output.c_str());
  const std::string& log = dvr.Stop();
  EXPECT_NE(log.find(" PLAY rtsp://127.0.0.1:"), std::string::npos) << log;
  EXPECT_NE(log.find("tears down session"), std::string::npos) << log;
  EXPECT_NE(log.find("1 session(s)"), std::string::npos) << log;
  EXPECT_EQ(log.find(" 0 receiver reports"), std::string::npos) << log;
  EXPECT_NE(log.find(" receiver reports"), std::string::npos) << log;
  EXPECT_EQ(run_.session.oversizeDatagrams.load(), 0u);
}

TEST_F(DvrsimSessionTest, KeepsDeliveringThroughLossAndReordering) {
  Dvrsim dvr("--loss 0.05 --reorder 0.05 --seed 7");
  ASSERT_GT(dvr.Port(), 0) << dvr.Log();
  CapturedOutput captured;
  ASSERT_TRUE(Open(dvr)) << captured.Take() << dvr.Log();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  // Most pictures are whole in one or two packets, so about nineteen in twenty still come,
  // and every stretch of the run delivers some.
  double early = MeasureRate(2.0);
  double late = MeasureRate(2.0);
  EXPECT_GT(early, 0.7 * kFramesPerSecond);
  EXPECT_GT(late, 0.7 * kFramesPerSecond);
  EXPECT_LT(late, kFramesPerSecond + 4.0);
  EXPECT_EQ(run_.Wait(0), STILL_ACTIVE);
  EXPECT_EQ(run_.Stop(), 0u);
  std::string output = captured.Take();
  if (HasFailure()) std::printf("%s", output.c_str());
  const std::string& log = dvr.Stop();
  EXPECT_NE(log.find("tears down session"), std::string::npos) << log;
}

}  // namespace
