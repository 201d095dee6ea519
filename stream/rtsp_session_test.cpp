#include "stream/rtsp_session.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/kernel/clock.h"
#include "stream/test_rtsp_server.h"
#include "stream/test_session_run.h"

namespace {

constexpr char kAgent[] = "User-Agent: tesmar_v20150206\r\n";
constexpr int kOpenMs = 10000;
const std::vector<uint8_t> kOpening = {0xCE, 0xFA, 0xED, 0xFE};

using Settings = ScriptedDvr::Settings;

std::string SetupText(const std::string& url, const std::string& track, int cseq,
                      std::pair<int, int> ports, const std::string& sessionLine) {
  return "SETUP " + url + "/" + track + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nTransport: RTP/AVP;unicast;client_port=" + std::to_string(ports.first) + "-" +
         std::to_string(ports.second) + "\r\n" + kAgent + sessionLine + "\r\n";
}

std::string PlayText(const std::string& url, int cseq, const std::string& range) {
  return "PLAY " + url + "/ RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nSession: 57A3F0C1;timeout=60\r\nRange: npt=" + range + "\r\n" + kAgent + "\r\n";
}

class RtspSessionTest : public testing::Test {
 protected:
  void Open(Settings settings = {}) {
    dvr_ = std::make_unique<ScriptedDvr>(settings);
    run_.Start(dvr_->Url());
    ASSERT_TRUE(WaitVideoPlayout(kOpenMs));
  }

  std::unique_ptr<ScriptedDvr> dvr_;
  SessionRun run_;
};

TEST_F(RtspSessionTest, OpenPlayTeardownBytes) {
  testing::internal::CaptureStdout();
  Open();
  const std::string url = dvr_->Url();
  auto ports = dvr_->ClientPorts(0);
  for (int i = 0; i < 2; ++i) {
    auto opening = dvr_->videoRtp.Receive(2000);
    ASSERT_TRUE(opening);
    EXPECT_EQ(opening->bytes, kOpening);
    EXPECT_EQ(opening->fromPort, ports.first);  // sent from the offered RTP client port
  }
  EXPECT_NE(ports.first, ports.second);
  EXPECT_EQ(run_.Stop(), 0u);
  std::string output = testing::internal::GetCapturedStdout();

  auto requests = dvr_->Server().Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0], "DESCRIBE " + url + " RTSP/1.0\r\nCSeq: 1\r\nAccept: application/sdp\r\n" +
                             kAgent + "\r\n");
  EXPECT_EQ(requests[1], SetupText(url, "trackID=0", 2, ports, ""));
  EXPECT_EQ(requests[2], PlayText(url, 3, "0-"));
  EXPECT_EQ(requests[3], "TEARDOWN " + url +
                             " RTSP/1.0\r\nCSeq: 4\r\nSession: 57A3F0C1;timeout=60\r\n" + kAgent +
                             "\r\n");
  EXPECT_FALSE(dvr_->audioRtp.Receive(100));
  EXPECT_FALSE(AudioPlayoutStarted());
  EXPECT_EQ(run_.session.running, 0);
  EXPECT_TRUE(run_.session.url.empty());
  EXPECT_TRUE(run_.session.sessionId.empty());
  EXPECT_EQ(run_.session.m_Attribute.rtpSock, INVALID_SOCKET);
  EXPECT_NE(output.find("IsRunning-------------\n"), std::string::npos);
  EXPECT_NE(output.find("SETUP command-2:\n" + requests[1] + "\n"), std::string::npos);
  EXPECT_NE(output.find("+++++++++++++++++++ running =0 recvTry="), std::string::npos);
  EXPECT_NE(output.find("rtsp stop!\n"), std::string::npos);
}

TEST_F(RtspSessionTest, CSeqContinuesAcrossRunsOfTheRecord) {
  Open();
  run_.Stop();
  run_.Start(dvr_->Url());
  ASSERT_TRUE(WaitVideoPlayout(kOpenMs));
  run_.Stop();
  auto requests = dvr_->Server().Requests();
  ASSERT_EQ(requests.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(CSeqOf(requests[i]), i + 1);
  EXPECT_EQ(requests[4].rfind("DESCRIBE ", 0), 0u);
  EXPECT_EQ(requests[5], SetupText(dvr_->Url(), "trackID=0", 6, dvr_->ClientPorts(1), ""));
}

TEST_F(RtspSessionTest, TwoMediaLinesSetUpBothTracks) {
  Settings settings;
  settings.withAudio = true;
  Open(settings);
  auto video = dvr_->ClientPorts(0);
  auto audio = dvr_->ClientPorts(1);
  EXPECT_TRUE(WaitFor([] { return AudioPlayoutStarted(); }, 2000));
  for (int i = 0; i < 2; ++i) {
    auto opening = dvr_->audioRtp.Receive(2000);
    ASSERT_TRUE(opening);
    EXPECT_EQ(opening->bytes, kOpening);
    EXPECT_EQ(opening->fromPort, audio.first);
  }
  auto requests = dvr_->Server().Requests();
  ASSERT_GE(requests.size(), 4u);
  EXPECT_EQ(requests[2],
            SetupText(dvr_->Url(), "trackID=1", 3, audio, "Session: 57A3F0C1;timeout=60\r\n"));
  EXPECT_NE(audio.first, video.first);
  EXPECT_EQ(run_.session.m_Attribute.audioClock, 8000u);
  EXPECT_EQ(run_.session.m_Attribute.audioChannels, 1);
  EXPECT_EQ(run_.session.serverAudioRtpPort, dvr_->audioRtp.port);
  EXPECT_EQ(run_.session.serverVideoRtcpPort, dvr_->videoRtcp.port);

  // Audio datagrams go to the audio queue.
  dvr_->audioRtp.SendTo(audio.first, RtpDatagram(1, 160, 0xA0D10));
  EXPECT_TRUE(WaitFor([] { return TestAudioQueue()->Count() == 1; }, 2000));
  EXPECT_EQ(TestVideoQueue()->Count(), 0);
  run_.Stop();
}

TEST_F(RtspSessionTest, DescribeWithoutContentLengthFailsTheOpen) {
  Settings settings;
  settings.contentLength = false;
  ScriptedDvr dvr(settings);
  testing::internal::CaptureStdout();
  run_.Start(dvr.Url());
  DWORD code = run_.Wait(kOpenMs);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, static_cast<DWORD>(-1));
  EXPECT_NE(output.find("Failed to get a SDP description from URL\n"), std::string::npos);
  EXPECT_EQ(run_.session.running, 0);
  EXPECT_EQ(dvr.Server().Requests().size(), 1u);
  EXPECT_FALSE(WaitVideoPlayout(0));
}

TEST_F(RtspSessionTest, DescribeBodyLongerThanTheBufferFailsCleanly) {
  Settings settings;
  settings.describeBodyPad = 25000;
  ScriptedDvr dvr(settings);
  testing::internal::CaptureStdout();
  run_.Start(dvr.Url());
  DWORD code = run_.Wait(kOpenMs);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, static_cast<DWORD>(-1));
  EXPECT_NE(output.find("Failed to get a SDP description from URL\n"), std::string::npos);
}

TEST_F(RtspSessionTest, PlayRangesAndResume) {
  Open();
  EnterCriticalSection(&run_.session.lock);
  EXPECT_EQ(SendPlay(&run_.session, run_.session.rtspSocket, -1), 0);
  run_.session.startPosition = 75;
  run_.session.paused = 1;
  EXPECT_EQ(ResumePlay(&run_.session, run_.session.rtspSocket), 0);
  LeaveCriticalSection(&run_.session.lock);
  EXPECT_EQ(run_.session.paused, 0);
  EXPECT_GT(run_.session.playStartSeconds, 0);
  auto requests = dvr_->Server().Requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[3], PlayText(dvr_->Url(), 4, "-"));
  EXPECT_EQ(requests[4], PlayText(dvr_->Url(), 5, "75-"));
  run_.Stop();
}

TEST_F(RtspSessionTest, FailedPauseStillCountsAsPaused) {
  Settings settings;
  settings.pauseStatus = 500;
  Open(settings);
  testing::internal::CaptureStdout();
  EnterCriticalSection(&run_.session.lock);
  int result = SendPause(&run_.session, run_.session.rtspSocket);
  LeaveCriticalSection(&run_.session.lock);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(run_.session.paused, 1);
  EXPECT_EQ(run_.session.requestBusy, 0);
  EXPECT_NE(output.find("cannot handle PAUSE response\n "), std::string::npos);
  EXPECT_NE(output.find("Pause Streams failed\n"), std::string::npos);
  auto requests = dvr_->Server().Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[3], "PAUSE " + dvr_->Url() +
                             "/ RTSP/1.0\r\nCSeq: 4\r\nSession: 57A3F0C1;timeout=60\r\n" + kAgent +
                             "\r\n");
  run_.Stop();
}

TEST_F(RtspSessionTest, RequestsWithoutSessionFail) {
  RtspSession session;
  testing::internal::CaptureStdout();
  EXPECT_EQ(SendPlay(&session, INVALID_SOCKET, 0), -1);
  EXPECT_EQ(SendPause(&session, INVALID_SOCKET), -1);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("No RTSP session is currently in progress\n"), std::string::npos);
  EXPECT_EQ(session.paused, 1);
  EXPECT_EQ(session.cseq, 0);
}

TEST_F(RtspSessionTest, DatagramsAreQueuedAndReported) {
  Open();
  auto ports = dvr_->ClientPorts(0);
  const uint32_t ssrc = 0x12345678;
  dvr_->videoRtp.SendTo(ports.first, RtpDatagram(0xBEEF, 900000, ssrc));
  auto report = dvr_->videoRtcp.Receive(3000);
  ASSERT_TRUE(report);
  const std::vector<uint8_t> expected = {0x81, 201,  0, 7, 0x12, 0x34, 0x56, 0x78, 0x12, 0x34, 0x56,
                                         0x78, 0,    0, 0, 0,    0,    0,    0xBE, 0xEF, 0,    0,
                                         0x04, 0xB0, 0, 0, 0,    0,    0,    0,    0,    0};
  EXPECT_EQ(report->bytes, expected);
  EXPECT_EQ(report->fromPort, ports.second);
  EXPECT_TRUE(WaitFor([] { return TestVideoQueue()->Count() == 1; }, 2000));

  // The next report waits for five seconds of RTP time.
  dvr_->videoRtp.SendTo(ports.first, RtpDatagram(0xBEF0, 900000 + 450000, ssrc));
  EXPECT_FALSE(dvr_->videoRtcp.Receive(300));
  dvr_->videoRtp.SendTo(ports.first, RtpDatagram(0xBEF1, 900000 + 450091, ssrc));
  auto second = dvr_->videoRtcp.Receive(3000);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->bytes[19], 0xF1);
  EXPECT_EQ(run_.session.elapsedSeconds.load(), 5u);

  // Short datagrams are not queued; a datagram longer than a record is dropped and counted.
  dvr_->videoRtp.SendTo(ports.first, std::vector<uint8_t>(12, 0));
  dvr_->videoRtp.SendTo(ports.first, RtpDatagram(0xBEF2, 900000, ssrc, kRtpRecordBytes));
  dvr_->videoRtp.SendTo(ports.first, RtpDatagram(0xBEF3, 900000, ssrc, 100));
  EXPECT_TRUE(WaitFor([] { return TestVideoQueue()->Count() == 4; }, 2000));
  EXPECT_EQ(run_.session.oversizeDatagrams, 1u);
  run_.Stop();
}

TEST_F(RtspSessionTest, EmptyAndOverLongDatagramsAreDroppedAndCountedNotFailures) {
  Open();
  auto ports = dvr_->ClientPorts(0);
  testing::internal::CaptureStdout();
  // Far more than the six failed receives that would rebind the socket.
  for (int i = 0; i < 20; ++i) {
    dvr_->videoRtp.SendTo(ports.first, {});
    dvr_->videoRtp.SendTo(ports.first, std::vector<uint8_t>(kReceiveBufferBytes + 100, 0x80));
  }
  EXPECT_TRUE(WaitFor(
      [&] { return run_.session.emptyDatagrams == 20 && run_.session.oversizeDatagrams == 20; },
      3000));
  // The socket was kept: the next datagram reaches the queue at once.
  dvr_->videoRtp.SendTo(ports.first, RtpDatagram(7, 0, 1));
  EXPECT_TRUE(WaitFor([] { return TestVideoQueue()->Count() == 1; }, 2000));
  run_.Stop();
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(output.find("recv error:"), std::string::npos) << output;
  EXPECT_EQ(output.find("reconnect!"), std::string::npos);
  EXPECT_NE(output.find("dropped 20 empty and 20 over-long datagrams, chn:1\n"), std::string::npos);
}

TEST_F(RtspSessionTest, DvrClosingTheConnectionEndsTheRun) {
  Settings settings;
  settings.closeAfterPlay = true;
  testing::internal::CaptureStdout();
  Open(settings);
  DWORD code = run_.Wait(8000);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(run_.session.running, 0);
  // Seen by the watcher, long before the receive loop would give up on the silence.
  EXPECT_NE(output.find("RTSP connection closed by the server, chn:"), std::string::npos);
  EXPECT_NE(output.find("rtsp stop!\n"), std::string::npos);
}

TEST_F(RtspSessionTest, LongHostIsKeptWholeForConnecting) {
  ScriptedDvr dvr(Settings{});
  // Leading zeros keep the dotted form valid past the 23 characters of the host field.
  const std::string host = "127.0.0.00000000000000000000001";
  ASSERT_GT(host.size(), 23u);
  if (!gethostbyname(host.c_str())) GTEST_SKIP() << "the resolver does not take " << host;
  run_.Start("rtsp://" + host + ":" + std::to_string(dvr.Server().Port()) + "/1.live");
  ASSERT_TRUE(WaitVideoPlayout(kOpenMs));
  EXPECT_EQ(std::string(run_.session.host), host.substr(0, 23));
  EXPECT_EQ(run_.session.connectHost, host);
  EXPECT_TRUE(dvr.videoRtp.Receive(2000));
  run_.Stop();
}

}  // namespace
