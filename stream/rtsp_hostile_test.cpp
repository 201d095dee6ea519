// Sessions against a DVR that misbehaves on purpose, one class of fault per case: replies that
// lie about their length, overrun every buffer, trickle or stop; connects that never complete;
// descriptions with hundreds of tracks. Each case must end with its diagnostic, in bounded
// time, without a crash, and a stop must end the run within about two seconds whatever the
// DVR does.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/net/loopback.h"
#include "stream/audio_playout.h"
#include "stream/rtsp_session.h"
#include "stream/test_rtsp_server.h"
#include "stream/test_session_run.h"
#include "stream/video_playout.h"

namespace {

using Clock = std::chrono::steady_clock;

// Accepts connections on loopback and hands each to the case's script on the server thread.
// The script reads requests with NextRequest and writes with Send / Drip; every wait it makes
// ends when the test is over.
class HostileDvr {
 public:
  using Script = std::function<void(HostileDvr& dvr, SOCKET conn)>;

  explicit HostileDvr(Script script, int backlog = 4, bool serve = true)
      : script_(std::move(script)) {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = platform::net::LoopbackAddress(0);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, backlog);
    port_ = platform::net::BoundPort(listener_);
    if (serve) thread_ = std::thread([this] { Serve(); });
  }
  ~HostileDvr() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    closesocket(listener_);
  }

  std::string Url() const { return "rtsp://127.0.0.1:" + std::to_string(port_) + "/1.live"; }
  int Port() const { return port_; }
  bool Over() const { return stop_; }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> hold(mutex_);
    return requests_;
  }

  // The next request header; empty when the connection or the test ends.
  std::string NextRequest(SOCKET conn) {
    std::string request;
    while (!stop_ && (request.size() < 4 || request.compare(request.size() - 4, 4, "\r\n\r\n"))) {
      WSAPOLLFD entry{conn, POLLRDNORM, 0};
      if (WSAPoll(&entry, 1, 50) <= 0) continue;
      char byte;
      if (recv(conn, &byte, 1, 0) != 1) return "";
      request += byte;
    }
    if (stop_) return "";
    std::lock_guard<std::mutex> hold(mutex_);
    requests_.push_back(request);
    return request;
  }
  void Send(SOCKET conn, const std::string& bytes) {
    send(conn, bytes.data(), static_cast<int>(bytes.size()), 0);
  }
  // Sends one byte every `ms` until the text is out or the test ends.
  void Drip(SOCKET conn, const std::string& bytes, int ms) {
    for (char c : bytes) {
      if (stop_ || send(conn, &c, 1, 0) != 1) return;
      for (int waited = 0; waited < ms && !stop_; waited += 10) Sleep(10);
    }
  }
  void HoldUntilOver() {
    while (!stop_) Sleep(10);
  }

  // The usual answers, so that a case can misbehave at one step only.
  static std::string Ok(const std::string& request, const std::string& headers = "") {
    return "RTSP/1.0 200 OK\r\nCSeq: " + std::to_string(CSeqOf(request)) + "\r\n" + headers +
           "\r\n";
  }
  static std::string Described(const std::string& request, const std::string& sdp) {
    return Ok(request, "Content-Type: application/sdp\r\nContent-Length: " +
                           std::to_string(sdp.size()) + "\r\n") +
           sdp;
  }
  static std::string Sdp(int videoTracks = 1) {
    std::string sdp = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=live\r\nt=0 0\r\n";
    for (int i = 0; i < videoTracks; ++i) {
      sdp += "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:trackID=" +
             std::to_string(i) + "\r\n";
    }
    return sdp;
  }
  static std::string SetUp(const std::string& request) {
    return Ok(request,
              "Transport: RTP/AVP;unicast;client_port=1-2;server_port=9-10\r\n"
              "Session: 1234\r\n");
  }
  // DESCRIBE, SETUP and PLAY answered well; the request that follows is returned.
  std::string Open(SOCKET conn) {
    std::string request;
    while (!(request = NextRequest(conn)).empty()) {
      if (request.rfind("DESCRIBE", 0) == 0) {
        Send(conn, Described(request, Sdp()));
      } else if (request.rfind("SETUP", 0) == 0) {
        Send(conn, SetUp(request));
      } else if (request.rfind("PLAY", 0) == 0) {
        Send(conn, Ok(request, "Session: 1234\r\n"));
      } else {
        return request;
      }
    }
    return request;
  }

 private:
  void Serve() {
    while (!stop_) {
      WSAPOLLFD entry{listener_, POLLRDNORM, 0};
      if (WSAPoll(&entry, 1, 50) <= 0) continue;
      SOCKET conn = accept(listener_, nullptr, nullptr);
      if (conn == INVALID_SOCKET) continue;
      script_(*this, conn);
      closesocket(conn);
    }
  }

  Script script_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

class HostileDvrTest : public testing::Test {
 protected:
  // Starts a run against `dvr`, lets it get as far as `settleMs`, stops it and returns how long
  // the stop took.
  Clock::duration StopAfter(HostileDvr& dvr, int settleMs) {
    run_.Start(dvr.Url());
    Sleep(static_cast<DWORD>(settleMs));
    auto start = Clock::now();
    run_.session.running = 0;
    EXPECT_NE(run_.Wait(5000), static_cast<DWORD>(STILL_ACTIVE)) << "the run did not end";
    return Clock::now() - start;
  }
  // Runs until the session gives up by itself, within `ms`; its exit code.
  DWORD RunToEnd(HostileDvr& dvr, int ms) {
    run_.Start(dvr.Url());
    return run_.Wait(ms);
  }

  SessionRun run_;
};

constexpr auto kStopBound = std::chrono::milliseconds(2000);

// ---- Stopping whatever the DVR does ------------------------------------------------------

TEST_F(HostileDvrTest, StopEndsAConnectTheDvrNeverAccepts) {
  // A listener that never accepts, with its queue filled by others: the SYN goes unanswered.
  HostileDvr dvr(nullptr, 0, false);
  std::vector<SOCKET> fillers;
  for (int i = 0; i < 4; ++i) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
    sockaddr_in to = platform::net::LoopbackAddress(dvr.Port());
    connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    fillers.push_back(s);
  }
  Sleep(100);
  testing::internal::CaptureStdout();
  EXPECT_LT(StopAfter(dvr, 1500), kStopBound);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("failed to open the URL\n"), std::string::npos) << output;
  for (SOCKET s : fillers) closesocket(s);
}

TEST_F(HostileDvrTest, StopEndsAReplySentOneByteAtATime) {
  HostileDvr dvr([](HostileDvr& d, SOCKET conn) {
    std::string request = d.NextRequest(conn);
    if (request.empty()) return;
    d.Drip(conn, HostileDvr::Described(request, HostileDvr::Sdp()), 200);
    d.HoldUntilOver();
  });
  testing::internal::CaptureStdout();
  EXPECT_LT(StopAfter(dvr, 1200), kStopBound);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("socket is unreadable"), std::string::npos) << output;
}

TEST_F(HostileDvrTest, StopEndsABodySentOneByteAtATime) {
  HostileDvr dvr([](HostileDvr& d, SOCKET conn) {
    std::string request = d.NextRequest(conn);
    if (request.empty()) return;
    std::string reply = HostileDvr::Described(request, HostileDvr::Sdp());
    size_t header = reply.find("\r\n\r\n") + 4;
    d.Send(conn, reply.substr(0, header));
    d.Drip(conn, reply.substr(header), 200);
    d.HoldUntilOver();
  });
  testing::internal::CaptureStdout();
  EXPECT_LT(StopAfter(dvr, 1200), kStopBound);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("Failed to get a SDP description from URL\n"), std::string::npos);
}

TEST_F(HostileDvrTest, StopIsBoundedWhenTheTeardownReplyDrips) {
  HostileDvr dvr([](HostileDvr& d, SOCKET conn) {
    std::string request = d.Open(conn);
    if (request.rfind("TEARDOWN", 0) == 0) d.Drip(conn, HostileDvr::Ok(request), 100);
    d.HoldUntilOver();
  });
  run_.Start(dvr.Url());
  ASSERT_TRUE(WaitVideoPlayout(5000));
  testing::internal::CaptureStdout();
  auto start = Clock::now();
  run_.session.running = 0;
  EXPECT_NE(run_.Wait(5000), static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_LT(Clock::now() - start, kStopBound);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("socket is unreadable\n"), std::string::npos);
  auto requests = dvr.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().rfind("TEARDOWN ", 0), 0u) << "the teardown is still sent";
}

TEST_F(HostileDvrTest, StopIsBoundedWhenTheTeardownIsNeverAnswered) {
  HostileDvr dvr([](HostileDvr& d, SOCKET conn) {
    d.Open(conn);
    d.HoldUntilOver();
  });
  run_.Start(dvr.Url());
  ASSERT_TRUE(WaitVideoPlayout(5000));
  testing::internal::CaptureStdout();
  auto start = Clock::now();
  run_.session.running = 0;
  EXPECT_NE(run_.Wait(5000), static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_LT(Clock::now() - start, kStopBound);
  testing::internal::GetCapturedStdout();
}

// ---- Replies that lie or overrun ---------------------------------------------------------

// Answers DESCRIBE with `reply` (built from the request) and then holds the connection.
HostileDvr::Script DescribeWith(std::function<std::string(const std::string&)> reply) {
  return [reply](HostileDvr& d, SOCKET conn) {
    std::string request = d.NextRequest(conn);
    if (request.empty()) return;
    d.Send(conn, reply(request));
    d.HoldUntilOver();
  };
}

void ExpectOpenFails(HostileDvrTest* test, DWORD code, const std::string& output) {
  (void)test;
  EXPECT_EQ(code, static_cast<DWORD>(-1)) << output;
  EXPECT_NE(output.find("Failed to get a SDP description from URL\n"), std::string::npos) << output;
}

TEST_F(HostileDvrTest, ContentLengthsThatCannotBeTrueFailTheOpenAtOnce) {
  for (const char* length :
       {"-5", "-2147483648", "99999999999999999999", "1099511627776", "2147483647", "0"}) {
    SCOPED_TRACE(length);
    HostileDvr dvr(DescribeWith([length](const std::string& r) {
      return HostileDvr::Ok(r, std::string("Content-Length: ") + length + "\r\n") + "v=0\r\n";
    }));
    testing::internal::CaptureStdout();
    auto start = Clock::now();
    DWORD code = RunToEnd(dvr, 5000);
    std::string output = testing::internal::GetCapturedStdout();
    ExpectOpenFails(this, code, output);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  }
}

TEST_F(HostileDvrTest, HeaderLinesBeyondEveryBufferFailTheOpen) {
  // One endless header line, then a header of many lines, then a huge value.
  const std::vector<std::function<std::string(const std::string&)>> replies = {
      [](const std::string&) { return "RTSP/1.0 200 OK\r\nX: " + std::string(300000, 'a'); },
      [](const std::string& r) {
        std::string lines;
        for (int i = 0; i < 20000; ++i) lines += "X-" + std::to_string(i) + ": y\r\n";
        return HostileDvr::Ok(r, lines);
      },
      [](const std::string& r) {
        return HostileDvr::Ok(r, "Content-Length: " + std::string(100000, '9') + "\r\n");
      },
  };
  for (size_t i = 0; i < replies.size(); ++i) {
    SCOPED_TRACE(i);
    HostileDvr dvr(DescribeWith(replies[i]));
    testing::internal::CaptureStdout();
    DWORD code = RunToEnd(dvr, 5000);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, static_cast<DWORD>(-1)) << output.substr(0, 2000);
  }
}

TEST_F(HostileDvrTest, NulBytesInTheReplyAreNotTakenForItsEnd) {
  HostileDvr dvr(DescribeWith([](const std::string& r) {
    std::string sdp = HostileDvr::Sdp();
    std::string reply = HostileDvr::Described(r, sdp);
    reply.insert(reply.find("CSeq"), std::string(3, '\0'));
    reply.replace(reply.size() - 3, 1, std::string(1, '\0'));
    return reply;
  }));
  testing::internal::CaptureStdout();
  run_.Start(dvr.Url());
  // Whatever the parse makes of it, the run ends or plays; it never reads past its buffers.
  run_.Wait(3000);
  run_.session.running = 0;
  EXPECT_NE(run_.Wait(3000), static_cast<DWORD>(STILL_ACTIVE));
  testing::internal::GetCapturedStdout();
}

TEST_F(HostileDvrTest, RepliesThatStopMidwayFailTheOpen) {
  for (size_t cut : {size_t{5}, size_t{30}, size_t{90}}) {
    SCOPED_TRACE(cut);
    HostileDvr dvr([cut](HostileDvr& d, SOCKET conn) {
      std::string request = d.NextRequest(conn);
      if (request.empty()) return;
      d.Send(conn, HostileDvr::Described(request, HostileDvr::Sdp()).substr(0, cut));
    });
    testing::internal::CaptureStdout();
    DWORD code = RunToEnd(dvr, 5000);
    std::string output = testing::internal::GetCapturedStdout();
    ExpectOpenFails(this, code, output);
  }
}

TEST_F(HostileDvrTest, HundredsOfMediaLinesGetOneSetup) {
  HostileDvr dvr([](HostileDvr& d, SOCKET conn) {
    std::string request;
    while (!(request = d.NextRequest(conn)).empty()) {
      if (request.rfind("DESCRIBE", 0) == 0) {
        // As many as the description buffer (20000 bytes) holds.
        d.Send(conn, HostileDvr::Described(request, HostileDvr::Sdp(250)));
      } else if (request.rfind("SETUP", 0) == 0) {
        d.Send(conn, HostileDvr::SetUp(request));
      } else {
        d.Send(conn, HostileDvr::Ok(request, "Session: 1234\r\n"));
      }
    }
  });
  testing::internal::CaptureStdout();
  run_.Start(dvr.Url());
  bool opened = WaitVideoPlayout(5000);
  run_.Stop();
  std::string output = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(opened) << output.substr(0, 3000);
  int setups = 0;
  for (const std::string& r : dvr.Requests()) setups += r.rfind("SETUP", 0) == 0 ? 1 : 0;
  EXPECT_EQ(setups, 1);
}

}  // namespace

// ---- Datagrams that lie ------------------------------------------------------------------

namespace {

std::vector<uint8_t> Rtp(uint16_t seq, uint32_t ts, std::vector<uint8_t> payload,
                         uint8_t first = 0x80, uint8_t type = 96) {
  std::vector<uint8_t> bytes = {first,
                                type,
                                static_cast<uint8_t>(seq >> 8),
                                static_cast<uint8_t>(seq),
                                static_cast<uint8_t>(ts >> 24),
                                static_cast<uint8_t>(ts >> 16),
                                static_cast<uint8_t>(ts >> 8),
                                static_cast<uint8_t>(ts),
                                0,
                                0,
                                0,
                                1};
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

long ResidentKiB() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f != nullptr) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

// A run with the real playout threads (video into no channel, audio into a WAV sink) against
// a scripted DVR with video and audio, fed datagrams by the case.
class HostileDatagramTest : public testing::Test {
 protected:
  void SetUp() override {
    wav_ = "/tmp/hostile_datagrams_" + std::to_string(GetTickCount()) + ".wav";
    setenv("ORVIX_WAVE_SINK", wav_.c_str(), 1);
    ScriptedDvr::Settings settings;
    settings.withAudio = true;
    dvr_ = std::make_unique<ScriptedDvr>(settings);
    testing::internal::CaptureStdout();
    run_.Start(dvr_->Url());
    opened_ = dvr_->Server().WaitRequests(4, 5000);
    Sleep(200);
    video_ = dvr_->ClientPorts(0).first;
    audio_ = dvr_->ClientPorts(1).first;
    // The first datagram fixes the run's time origin.
    dvr_->videoRtp.SendTo(video_, Rtp(1, 1000, {0x65, 1, 2, 3}));
    rss_ = ResidentKiB();
  }
  void TearDown() override {
    auto start = Clock::now();
    run_.session.running = 0;
    EXPECT_NE(run_.Wait(5000), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_LT(Clock::now() - start, kStopBound);
    output_ = testing::internal::GetCapturedStdout();
    if (HasFailure()) std::fprintf(stderr, "%s\n", output_.substr(0, 4000).c_str());
    unsetenv("ORVIX_WAVE_SINK");
    std::remove(wav_.c_str());
  }
  // The run still takes datagrams after the case's: a timestamp `seconds` on is seen.
  void ExpectAlive(int seconds) {
    ASSERT_TRUE(opened_);
    // A burst beyond the socket's buffer loses datagrams in the kernel: the datagram that
    // shows the run alive is sent until it is seen.
    EXPECT_TRUE(WaitFor(
        [&] {
          dvr_->videoRtp.SendTo(video_, Rtp(60000, 1000 + 90000u * seconds, {0x65, 9}));
          Sleep(20);
          return run_.session.elapsedSeconds == uint32_t(seconds);
        },
        3000))
        << "elapsed " << run_.session.elapsedSeconds.load() << " first "
        << run_.session.firstVideoTimestamp << " last report "
        << run_.session.lastVideoReportTimestamp;
    EXPECT_EQ(run_.session.running, 1);
    EXPECT_LT(ResidentKiB() - rss_, 64 * 1024) << "memory grew by more than 64 MiB";
  }

  std::string wav_;
  std::unique_ptr<ScriptedDvr> dvr_;
  // The real playout threads, video into no channel and audio into the WAV sink.
  SessionRun run_{RtspSessionOptions{}};
  bool opened_ = false;
  int video_ = 0, audio_ = 0;
  long rss_ = 0;
  std::string output_;
};

TEST_F(HostileDatagramTest, HeaderFieldsThatPointPastTheDatagram) {
  uint16_t seq = 2;
  // Fifteen CSRCs announced in a datagram that holds none; an extension longer than the
  // datagram; padding longer than the payload; version 0 and 3.
  for (int i = 0; i < 200; ++i) {
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 2000, {0x65}, 0x8F));
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 2000, {0xFF, 0xFF, 0xFF, 0xFF, 0x65}, 0x90));
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 2000, {0x65, 1, 2, 0xFF}, 0xA0));
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 2000, {0x65, 1, 2}, 0x00));
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 2000, {0x65, 1, 2}, 0xFF, 0xFF));
  }
  ExpectAlive(7);
}

TEST_F(HostileDatagramTest, FragmentAndAggregateLengthsThatLie) {
  uint16_t seq = 2;
  for (int i = 0; i < 200; ++i) {
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 3000, {0x7C}));           // FU-A without its header
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 3000, {0x7C, 0x45}));     // end with no start
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 3000, {0x7C, 0x85, 1}));  // start, never ended
    // STAP-A units whose sizes run past the datagram, or are zero.
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 3000, {0x78, 0xFF, 0xFF, 0x65, 1}));
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 3000, {0x78, 0x00, 0x00, 0x00, 0x02, 0x65}));
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 3000, {0x78}));
  }
  ExpectAlive(8);
}

TEST_F(HostileDatagramTest, EndlessFragmentsOfOneUnit) {
  // Some 14 MB of one unit that never ends: the unit buffer must not grow with it.
  uint16_t seq = 2;
  std::vector<uint8_t> middle(1400, 0x11);
  middle[0] = 0x7C;
  middle[1] = 0x05;
  dvr_->videoRtp.SendTo(video_, Rtp(seq++, 4000, {0x7C, 0x85, 1, 2}));
  for (int i = 0; i < 10000; ++i) {
    dvr_->videoRtp.SendTo(video_, Rtp(seq++, 4000, middle));
    if (i % 500 == 0) Sleep(5);  // keep within the socket's receive buffer
  }
  ExpectAlive(9);
}

TEST_F(HostileDatagramTest, SequenceAndTimestampJumps) {
  const uint16_t seqs[] = {2, 30000, 65535, 0, 1, 40000, 3, 3, 3, 65534};
  const uint32_t stamps[] = {0, 0xFFFFFFFF, 5, 0x80000000, 1000, 7, 0xFFFFFF00, 2, 2, 90000};
  for (int round = 0; round < 50; ++round) {
    for (size_t i = 0; i < std::size(seqs); ++i) {
      dvr_->videoRtp.SendTo(video_, Rtp(seqs[i], stamps[i], {0x65, 1, 2, 3}));
      dvr_->audioRtp.SendTo(audio_, Rtp(seqs[i], stamps[i], std::vector<uint8_t>(164, 0x55)));
    }
  }
  ExpectAlive(10);
}

TEST_F(HostileDatagramTest, AudioAndControlDatagramsOfWrongSizes) {
  for (int size : {0, 1, 11, 12, 13, 20, 163, 165, 1000, 1499, 1500, 1501, 1600, 4000}) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size), 0x80);
    for (int i = 0; i < 20; ++i) {
      dvr_->audioRtp.SendTo(audio_, bytes);
      dvr_->videoRtcp.SendTo(dvr_->ClientPorts(0).second, bytes);
      dvr_->audioRtcp.SendTo(dvr_->ClientPorts(1).second, bytes);
    }
  }
  ExpectAlive(11);
}

}  // namespace
