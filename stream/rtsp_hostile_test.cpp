// Sessions against a DVR that misbehaves on purpose, one class of fault per case: replies that
// lie about their length, overrun every buffer, trickle or stop; connects that never complete;
// descriptions with hundreds of tracks. Each case must end with its diagnostic, in bounded
// time, without a crash, and a stop must end the run within about two seconds whatever the
// DVR does.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/net/loopback.h"
#include "stream/rtsp_session.h"
#include "stream/test_rtsp_server.h"
#include "stream/test_session_run.h"

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
