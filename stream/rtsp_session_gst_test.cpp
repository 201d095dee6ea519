// The session against an RTSP server nobody here wrote: GStreamer's, serving an H.264 test
// stream on loopback (gst_rtsp_test_server.py beside this file).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "stream/rtsp_session.h"
#include "stream/test_session_run.h"

namespace {

constexpr char kPython[] = "/usr/bin/python3";

bool GstRtspServerAvailable() {
  std::string probe = std::string(kPython) +
                      " -c \"import gi; gi.require_version('GstRtspServer','1.0'); "
                      "from gi.repository import GstRtspServer\" >/dev/null 2>&1";
  return std::system(probe.c_str()) == 0;
}

// The server script as a child whose standard output we read.
class GstServer {
 public:
  GstServer() {
    std::string command = std::string(kPython) +
                          " " STREAM_SOURCE_DIR
                          "/gst_rtsp_test_server.py --lifetime 60 --session-timeout 30";
    pipe_ = popen(command.c_str(), "r");
    if (pipe_) port_ = std::atoi(Line().c_str());
  }
  ~GstServer() {
    if (pipe_) pclose(pipe_);
  }
  int Port() const { return port_; }
  std::string Line() {
    char line[256] = {};
    return pipe_ && std::fgets(line, sizeof line, pipe_) ? line : "";
  }

 private:
  FILE* pipe_ = nullptr;
  int port_ = 0;
};

TEST(RtspSessionGst, OpensPlaysAndTearsDown) {
  if (!GstRtspServerAvailable())
    GTEST_SKIP() << "GStreamer's RTSP server for Python (gir1.2-gst-rtsp-server-1.0 with "
                    "python3-gi) is not installed";
  GstServer server;
  ASSERT_GT(server.Port(), 0) << "the GStreamer RTSP server did not start";
  SessionRun run;
  testing::internal::CaptureStdout();
  run.Start("rtsp://127.0.0.1:" + std::to_string(server.Port()) + "/test");
  bool opened = WaitVideoPlayout(20000);
  bool receiving = opened && WaitFor([] { return TestVideoQueue()->Count() >= 25; }, 10000);
  uint32_t videoClock = run.session.videoClock;
  bool reported = run.session.lastVideoReportTimestamp != 0;
  DWORD code = run.Stop();
  std::string output = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(opened) << output;
  EXPECT_TRUE(receiving);
  EXPECT_TRUE(reported);
  EXPECT_EQ(videoClock, 90000u);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(output.find("Play MediaSession failed"), std::string::npos) << output;
  EXPECT_EQ(output.find("cannot handle"), std::string::npos) << output;
  EXPECT_NE(output.find("Session: "), std::string::npos);
  // Its sessions carry ";timeout=", and it takes the DVR's forms as they are.
  EXPECT_NE(output.find(";timeout=30"), std::string::npos) << output;
  EXPECT_EQ(output.find("retrying"), std::string::npos) << output;
  EXPECT_EQ(server.Line(), "teardown\n");
}

}  // namespace
