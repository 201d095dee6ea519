#include "stream/interleaved.h"

#include <gtest/gtest.h>

#include <string>

#include "stream/rtsp_session.h"
#include "stream/test_session_run.h"
#include "stream/test_standard_server.h"

namespace {

using Kind = InterleavedStep::Kind;

InterleavedStep Parse(const std::string& bytes, size_t maxMessage = 16384) {
  return ParseInterleaved(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), maxMessage);
}

TEST(Interleaved, FramesWholeAndCut) {
  const std::string frame(
      "$\x02\x00\x03"
      "abc"
      "$",
      8);
  InterleavedStep step = Parse(frame);
  EXPECT_EQ(step.kind, Kind::kFrame);
  EXPECT_EQ(step.channel, 2);
  EXPECT_EQ(step.payloadLength, 3u);
  EXPECT_EQ(step.consumed, 7u);
  for (size_t cut = 0; cut < 7; ++cut) EXPECT_EQ(Parse(frame.substr(0, cut)).kind, Kind::kNeedMore);
  step = Parse(std::string("$\x01\x00\x00", 4));
  EXPECT_EQ(step.kind, Kind::kFrame);
  EXPECT_EQ(step.consumed, 4u);
  // The largest length a frame can state.
  std::string big("$\x00\xff\xff", 4);
  EXPECT_EQ(Parse(big).kind, Kind::kNeedMore);
  big.resize(4 + 65535, 'x');
  EXPECT_EQ(Parse(big).consumed, 4u + 65535);
  EXPECT_EQ(BuildInterleaved(3, reinterpret_cast<const uint8_t*>("abc"), 3),
            (std::vector<uint8_t>{'$', 3, 0, 3, 'a', 'b', 'c'}));
}

TEST(Interleaved, MessagesBetweenFramesArePassedOverWithTheirBody) {
  const std::string message =
      "RTSP/1.0 200 OK\r\nCSeq: 9\r\ncontent-length: 4\r\n\r\n" + std::string("$\0\0\1", 4);
  InterleavedStep step = Parse(message + std::string("$\0\0\1", 4));
  EXPECT_EQ(step.kind, Kind::kMessage);
  EXPECT_EQ(step.consumed, message.size());
  EXPECT_EQ(Parse("RTSP/1.0 200 OK\r\nCSeq: 9\r\n").kind, Kind::kNeedMore);
  EXPECT_EQ(Parse("OPTIONS * RTSP/1.0\r\nCSeq: 1\r\nContent-Length: 9\r\n\r\nab").kind,
            Kind::kNeedMore);
  EXPECT_EQ(Parse("GET_PARAMETER * RTSP/1.0\r\nCSeq: 1\r\n\r\n").consumed, 37u);
}

TEST(Interleaved, GarbageAndOverLongMessagesAreSkippedWithABound) {
  InterleavedStep step = Parse(std::string("\x01\x02rx$\x00", 6));
  EXPECT_EQ(step.kind, Kind::kSkip);
  EXPECT_EQ(step.consumed, 4u);  // up to the '$'
  step = Parse(std::string(100, 'A'), 64);
  EXPECT_EQ(step.kind, Kind::kSkip);
  EXPECT_EQ(step.consumed, 64u);
  // A body longer than a message may be skips the header alone.
  step = Parse("RTSP/1.0 200 OK\r\nContent-Length: 99999\r\n\r\n", 64);
  EXPECT_EQ(step.kind, Kind::kSkip);
  EXPECT_EQ(step.consumed, 42u);
}

constexpr int kOpenMs = 10000;

std::string Transport(const std::string& request) { return RequestHeader(request, "Transport"); }

class TcpSessionTest : public testing::Test {
 protected:
  StandardServer::Settings Lenient() {
    StandardServer::Settings settings;
    settings.absoluteControl = false;
    settings.strictSession = false;
    settings.strictPlayUrl = false;
    return settings;
  }
  std::unique_ptr<StandardServer> server_;
};

// 461 to UDP: the SETUPs go again over TCP, frames are queued, the reports go back on the
// RTCP channel; the TEARDOWN's reply is found behind the frames still coming.
TEST_F(TcpSessionTest, RefusedUdpFallsBackToInterleavedFrames) {
  StandardServer::Settings settings = Lenient();
  settings.udp = false;
  server_ = std::make_unique<StandardServer>(settings);
  SessionRun run;
  testing::internal::CaptureStdout();
  run.Start(server_->Url());
  ASSERT_TRUE(WaitVideoPlayout(kOpenMs));
  bool queued = WaitFor(
      [] { return TestVideoQueue()->Count() == StandardServer::kInterleavedVideoFrames; }, 5000);
  auto before = std::chrono::steady_clock::now();
  run.Stop();
  auto took = std::chrono::steady_clock::now() - before;
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(queued) << output;
  EXPECT_LT(took, std::chrono::milliseconds(2000));
  EXPECT_EQ(output.find("cannot handle TEARDOWN response"), std::string::npos) << output;
  EXPECT_EQ(output.find("socket is unreadable"), std::string::npos) << output;
  EXPECT_EQ(output.find("no response code"), std::string::npos) << output;
  auto requests = server_->Server().Requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_NE(Transport(requests[1]).find("client_port="), std::string::npos);
  EXPECT_EQ(Transport(requests[2]), "RTP/AVP/TCP;unicast;interleaved=2-3");  // audio first
  EXPECT_EQ(Transport(requests[3]), "RTP/AVP/TCP;unicast;interleaved=0-1");
  EXPECT_NE(output.find("SETUP refused with 461: retrying with RTP on the RTSP connection (TCP)"),
            std::string::npos);
  // The receiver report went out as a frame on channel 1, ahead of the TEARDOWN.
  const std::string& teardown = requests[5];
  ASSERT_GT(teardown.size(), 36u);
  EXPECT_EQ(teardown.substr(0, 4), std::string("$\x01\x00\x20", 4));
  EXPECT_EQ(static_cast<uint8_t>(teardown[5]), 201);
  EXPECT_EQ(teardown.find("TEARDOWN "), 36u);
}

// UDP that never arrives: with the fall-back on, the session opens again over TCP, once.
TEST_F(TcpSessionTest, SilentUdpReopensOverTcpWhenAllowed) {
  server_ = std::make_unique<StandardServer>(Lenient());
  RtspSessionOptions options = TestPlayoutOptions();
  options.tcpFallback = true;
  SessionRun run(options);
  testing::internal::CaptureStdout();
  run.Start(server_->Url());
  ASSERT_TRUE(WaitVideoPlayout(kOpenMs));
  ForgetTestPlayout();
  bool reopened = WaitVideoPlayout((kUdpSilenceSeconds + 4) * 1000);
  bool queued =
      reopened &&
      WaitFor([] { return TestVideoQueue()->Count() == StandardServer::kInterleavedVideoFrames; },
              5000);
  run.Stop();
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(queued) << output;
  auto requests = server_->Server().Requests();
  ASSERT_GE(requests.size(), 10u);
  EXPECT_EQ(RequestMethod(requests[4]), "TEARDOWN");
  EXPECT_EQ(RequestMethod(requests[5]), "DESCRIBE");
  EXPECT_EQ(Transport(requests[6]), "RTP/AVP/TCP;unicast;interleaved=2-3");
  const std::string line = "no RTP over UDP in " + std::to_string(kUdpSilenceSeconds) + " s";
  EXPECT_EQ(output.find(line), output.rfind(line));
  EXPECT_NE(output.find(line), std::string::npos);
}

}  // namespace
