// The session against an RTSP server nobody here wrote: GStreamer's, serving H.264 and H.265
// test streams on loopback (gst_rtsp_test_server.py beside this file).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/h264dec/hi_h264dec_w.h"
#include "stream/playout_test_support.h"
#include "stream/rtsp_session.h"
#include "stream/test_session_run.h"
#include "stream/video_playout.h"

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
  explicit GstServer(const std::string& options = "") {
    std::string command = std::string(kPython) +
                          " " STREAM_SOURCE_DIR
                          "/gst_rtsp_test_server.py --lifetime 60 --session-timeout 30 " +
                          options;
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

bool X265Available() { return std::system("gst-inspect-1.0 x265enc >/dev/null 2>&1") == 0; }

// Pictures libavcodec's H.265 decoder makes of `units`, each of `width` x `height`.
int DecodedPictures(const std::vector<std::vector<uint8_t>>& units, unsigned* width,
                    unsigned* height) {
  H264_DEC_ATTR_S attr{};
  attr.uPicWidthInMB = 45;
  attr.uPicHeightInMB = 36;
  attr.uBufNum = 3;
  HI_HDL decoder = HiVideoDecCreate(&attr, HI_VIDEO_CODEC_H265);
  if (decoder == nullptr) return -1;
  int pictures = 0;
  H264_DEC_FRAME_S picture{};
  auto take = [&](HI_S32 r, HI_U32 flags) {
    while (r == HI_H264DEC_OK) {
      ++pictures;
      *width = picture.uWidth;
      *height = picture.uHeight;
      r = Hi264DecFrame(decoder, nullptr, 0, 0, &picture, flags);
    }
  };
  for (auto unit : units)
    take(Hi264DecFrame(decoder, unit.data(), static_cast<HI_U32>(unit.size()), 0, &picture, 0), 0);
  take(Hi264DecFrame(decoder, nullptr, 0, 0, &picture, HI_H264DEC_FLAG_END_OF_STREAM),
       HI_H264DEC_FLAG_END_OF_STREAM);
  Hi264DecDestroy(decoder);
  return pictures;
}

// GStreamer's H.265 payloader (single units, fragments and, for the parameter sets, aggregation
// packets) to libavcodec's decoder. The server's parameter sets go out only with the start of
// its encoder's output: a client joining later decodes with those of the description.
TEST(RtspSessionGst, H265StreamDecodesToPictures) {
  if (!GstRtspServerAvailable() || !X265Available())
    GTEST_SKIP() << "needs GStreamer's RTSP server for Python and x265enc "
                    "(gstreamer1.0-plugins-bad)";
  GstServer server;
  ASSERT_GT(server.Port(), 0) << "the GStreamer RTSP server did not start";
  UnitRecorder recorder;
  SessionRun run(RecordingOptions(RtspPlayout{VideoPlayoutThread, nullptr}));
  run.session.channel = TestChannel();
  testing::internal::CaptureStdout();
  run.Start("rtsp://127.0.0.1:" + std::to_string(server.Port()) + "/h265");
  bool units = recorder.WaitCount(150, 20000);
  VideoCodec codec = run.session.videoCodec;
  run.Stop();
  std::string output = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(units) << output;
  EXPECT_EQ(codec, VideoCodec::kH265);
  unsigned width = 0, height = 0;
  EXPECT_GE(DecodedPictures(recorder.Units(), &width, &height), 25) << output;
  EXPECT_EQ(width, 352u);
  EXPECT_EQ(height, 288u);
}

// A server that takes no RTP over UDP: the session interleaves it on the RTSP connection, and
// a stop while frames stream in (snow: hundreds a second) gets the TEARDOWN's reply from
// behind them, within the 2 s a viewer waits for a closing channel.
TEST(RtspSessionGst, TeardownAnsweredWhileInterleavedFramesArrive) {
  if (!GstRtspServerAvailable())
    GTEST_SKIP() << "GStreamer's RTSP server for Python is not installed";
  GstServer server("--tcp-only --pattern snow");
  ASSERT_GT(server.Port(), 0) << "the GStreamer RTSP server did not start";
  SessionRun run;
  testing::internal::CaptureStdout();
  run.Start("rtsp://127.0.0.1:" + std::to_string(server.Port()) + "/test");
  bool receiving =
      WaitVideoPlayout(20000) && WaitFor([] { return TestVideoQueue()->Count() >= 50; }, 10000);
  auto before = std::chrono::steady_clock::now();
  DWORD code = run.Stop();
  auto took = std::chrono::steady_clock::now() - before;
  std::string output = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(receiving) << output;
  EXPECT_EQ(code, 0u);
  EXPECT_LT(took, std::chrono::milliseconds(2000));
  EXPECT_NE(output.find("retrying with RTP on the RTSP connection"), std::string::npos) << output;
  EXPECT_EQ(output.find("cannot handle TEARDOWN response"), std::string::npos) << output;
  EXPECT_EQ(output.find("socket is unreadable"), std::string::npos) << output;
  EXPECT_EQ(server.Line(), "teardown\n");
}

}  // namespace
