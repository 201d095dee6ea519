// Runs that end (or must not end) after the receive loop's 21 silent seconds.
#include <gtest/gtest.h>

#include "platform/kernel/kernel.h"
#include "stream/rtsp_session.h"
#include "stream/test_rtsp_server.h"
#include "stream/test_session_run.h"

namespace {

TEST(RtspSessionSilence, TwentyOneSilentSecondsEndTheRunWithTeardown) {
  ScriptedDvr dvr(ScriptedDvr::Settings{});
  SessionRun run;
  testing::internal::CaptureStdout();
  run.Start(dvr.Url());
  ASSERT_TRUE(WaitVideoPlayout(10000));
  EXPECT_EQ(run.Wait(19000), STILL_ACTIVE);
  DWORD code = run.Wait(10000);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(run.session.running, 0);
  EXPECT_NE(output.find("+++++++++++++++++++ running =1 recvTry=21 \n"), std::string::npos);
  auto requests = dvr.Server().Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[3].rfind("TEARDOWN ", 0), 0u);
}

TEST(RtspSessionSilence, PausedRunSurvivesSilenceEvenWhenPauseFailed) {
  ScriptedDvr::Settings settings;
  settings.pauseStatus = 454;
  ScriptedDvr dvr(settings);
  SessionRun run;
  run.Start(dvr.Url());
  ASSERT_TRUE(WaitVideoPlayout(10000));
  EnterCriticalSection(&run.session.lock);
  EXPECT_EQ(SendPause(&run.session, run.session.rtspSocket), -1);
  LeaveCriticalSection(&run.session.lock);
  EXPECT_EQ(run.Wait(24000), STILL_ACTIVE);
  EXPECT_EQ(run.session.running, 1);
  EXPECT_EQ(run.Stop(), 0u);
}

}  // namespace

namespace {

TEST(RtspSessionSilence, RefusedConnectionIsTriedThreeTimes) {
  int port = 0;
  {
    UdpEndpoint probe;  // a port nobody listens on over TCP right after
    port = probe.port;
  }
  SessionRun run;
  testing::internal::CaptureStdout();
  run.Start("rtsp://127.0.0.1:" + std::to_string(port) + "/1.live");
  EXPECT_EQ(run.Wait(8000), STILL_ACTIVE);  // three attempts, three seconds apart
  DWORD code = run.Wait(5000);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, static_cast<DWORD>(-1));
  EXPECT_NE(output.find("connect() failed num:"), std::string::npos);
  EXPECT_NE(output.find("socketNum is -1\nfailed to open the URL\n"), std::string::npos);
  EXPECT_EQ(run.session.running, 0);
  EXPECT_TRUE(run.session.url.empty());
}

TEST(RtspSessionSilence, StoppingDuringTheConnectPausesEndsTheRunAtOnce) {
  int port = 0;
  {
    UdpEndpoint probe;
    port = probe.port;
  }
  SessionRun run;
  testing::internal::CaptureStdout();
  run.Start("rtsp://127.0.0.1:" + std::to_string(port) + "/1.live");
  Sleep(500);  // inside the first pause
  run.session.running = 0;
  DWORD code = run.Wait(1000);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, static_cast<DWORD>(-1));
  EXPECT_EQ(output.find("connect() failed num:"), std::string::npos);
  EXPECT_NE(output.find("failed to open the URL\n"), std::string::npos);
}

}  // namespace
