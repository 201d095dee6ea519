// Failure lines that differ between the two builds of the session code; compiled into the
// test of each build with that build's STREAM_NPAPI_REPORTING.
#include <gtest/gtest.h>

#include "stream/report.h"
#include "stream/rtsp_session.h"
#include "stream/test_rtsp_server.h"
#include "stream/test_session_run.h"

namespace {

TEST(RtspReporting, TruncatedReply) {
  ScriptedRtspServer* self = nullptr;
  ScriptedRtspServer server([&self](const std::string&) {
    self->CloseConnection();
    return std::string("RTSP/1.0 200 OK\r\nCSeq: 1\r\n");
  });
  self = &server;
  SessionRun run;
  testing::internal::CaptureStdout();
  run.Start(server.Url("1.live"));
  DWORD code = run.Wait(10000);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, static_cast<DWORD>(-1));
  EXPECT_NE(output.find("Failed to get a SDP description from URL\n"), std::string::npos);
#if STREAM_NPAPI_REPORTING
  EXPECT_NE(output.find("RTSP response was truncated\n"), std::string::npos) << output;
#else
  EXPECT_NE(output.find("RTSP response was truncated errorno "), std::string::npos) << output;
#endif
}

TEST(RtspReporting, WaitFailuresGoToTheirStream) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ReportWait("socket is unwriteable\n");
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(STREAM_NPAPI_REPORTING ? err : out, "socket is unwriteable\n");
  EXPECT_EQ(STREAM_NPAPI_REPORTING ? out : err, "");
}

}  // namespace
