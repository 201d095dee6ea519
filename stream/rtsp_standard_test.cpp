#include "stream/rtsp_standard.h"

#include <gtest/gtest.h>

#include "stream/rtsp_session.h"
#include "stream/test_rtsp_server.h"
#include "stream/test_session_run.h"
#include "stream/test_standard_server.h"

namespace {

constexpr int kOpenMs = 10000;

TEST(RtspStandardForms, ControlUrlsResolveAgainstTheBase) {
  const std::string base = "rtsp://10.0.0.5:554/clip.mkv/";
  EXPECT_EQ(ResolveControlUrl(base, "trackID=1"), base + "trackID=1");
  EXPECT_EQ(ResolveControlUrl("rtsp://h/clip", "trackID=1"), "rtsp://h/clip/trackID=1");
  EXPECT_EQ(ResolveControlUrl(base, "rtsp://other:8554/x/track2"), "rtsp://other:8554/x/track2");
  EXPECT_EQ(ResolveControlUrl(base, "RTSP://Other/t"), "RTSP://Other/t");
  EXPECT_EQ(ResolveControlUrl(base, "*"), base);
  EXPECT_EQ(ResolveControlUrl(base, ""), base);
}

TEST(RtspStandardForms, SessionTokenLosesItsParameters) {
  EXPECT_EQ(BareSessionToken("4E2B9C71;timeout=60"), "4E2B9C71");
  EXPECT_EQ(BareSessionToken("4E2B9C71"), "4E2B9C71");
  EXPECT_EQ(BareSessionToken(";timeout=60"), "");
}

TEST(RtspStandardForms, ContentBaseThenContentLocation) {
  EXPECT_EQ(FindContentBase("RTSP/1.0 200 OK\r\nContent-Location: rtsp://h/b\r\n"
                            "content-base:  rtsp://h/a/ \r\n\r\n"),
            "rtsp://h/a/");
  EXPECT_EQ(FindContentBase("RTSP/1.0 200 OK\r\nContent-Location: rtsp://h/b\r\n\r\n"),
            "rtsp://h/b");
  EXPECT_FALSE(FindContentBase("RTSP/1.0 200 OK\r\nContent-Base:   \r\n\r\n"));
  EXPECT_FALSE(FindContentBase("RTSP/1.0 200 OK\r\nX-Content-Base: rtsp://h/\r\n"));
}

TEST(RtspStandardForms, OnlyRefusalsTheDvrNeverGivesSwitchForms) {
  for (unsigned status : {404u, 454u, 455u, 459u}) EXPECT_TRUE(IsStandardRefusal(status));
  for (unsigned status : {200u, 400u, 401u, 403u, 461u, 500u, 503u})
    EXPECT_FALSE(IsStandardRefusal(status));
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::vector<std::string> Lines(const std::vector<std::string>& requests) {
  std::vector<std::string> lines;
  for (const std::string& r : requests)
    lines.push_back(RequestMethod(r) + " " + RequestTarget(r) + " " + RequestHeader(r, "Session"));
  return lines;
}

class StandardSessionTest : public testing::Test {
 protected:
  std::string Open(StandardServer::Settings settings) {
    server_ = std::make_unique<StandardServer>(settings);
    testing::internal::CaptureStdout();
    run_.Start(server_->Url());
    opened_ = WaitVideoPlayout(kOpenMs);
    run_.Stop();
    return testing::internal::GetCapturedStdout();
  }

  std::unique_ptr<StandardServer> server_;
  SessionRun run_;
  bool opened_ = false;
};

// Absolute controls, audio first, a timed session token and a strict PLAY URL: each form
// switches once, and what was learnt serves the rest of the run.
TEST_F(StandardSessionTest, StrictServerPlaysAfterOneRetryPerForm) {
  std::string output = Open({});
  ASSERT_TRUE(opened_) << output;
  const std::string url = server_->Url();
  const std::string base = server_->Base();
  std::vector<std::string> expected = {
      "DESCRIBE " + url + " ",
      "SETUP " + url + "/" + base + "trackID=0 ",
      "SETUP " + base + "trackID=0 ",
      "SETUP " + base + "trackID=1 4E2B9C71;timeout=60",
      "SETUP " + base + "trackID=1 4E2B9C71",
      "PLAY " + url + "/ 4E2B9C71",
      "PLAY " + url + " 4E2B9C71",
      "TEARDOWN " + url + " 4E2B9C71",
  };
  EXPECT_EQ(Lines(server_->Server().Requests()), expected);
  EXPECT_EQ(Occurrences(output, "SETUP refused with 404: retrying on the control URL " + base +
                                    "trackID=0\n"),
            1u);
  EXPECT_EQ(Occurrences(output, "retrying with the Session token without its parameters\n"), 1u);
  EXPECT_EQ(Occurrences(output,
                        "PLAY refused with 404: retrying on the aggregate URL without the "
                        "trailing slash\n"),
            1u);
  EXPECT_EQ(output.find("Play MediaSession failed"), std::string::npos);
  EXPECT_TRUE(AudioPlayoutStarted());
}

TEST_F(StandardSessionTest, RelativeControlsResolveAgainstContentBase) {
  StandardServer::Settings settings;
  settings.absoluteControl = false;
  settings.contentBase = "clip/";
  settings.strictSession = false;
  settings.strictPlayUrl = false;
  std::string output = Open(settings);
  ASSERT_TRUE(opened_) << output;
  auto lines = Lines(server_->Server().Requests());
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[1], "SETUP " + server_->Url() + "/trackID=0 ");
  EXPECT_EQ(lines[2], "SETUP " + server_->Base() + "trackID=0 ");
  EXPECT_EQ(lines[3], "SETUP " + server_->Base() + "trackID=1 4E2B9C71;timeout=60");
  EXPECT_EQ(lines[4], "PLAY " + server_->Url() + "/ 4E2B9C71;timeout=60");
  EXPECT_EQ(Occurrences(output, "retrying"), 1u);
}

// A server that takes the DVR's forms sees them and nothing else.
TEST_F(StandardSessionTest, LenientServerSeesNoRetry) {
  StandardServer::Settings settings;
  settings.absoluteControl = false;
  settings.strictSession = false;
  settings.strictPlayUrl = false;
  std::string output = Open(settings);
  ASSERT_TRUE(opened_) << output;
  EXPECT_EQ(server_->Server().Requests().size(), 5u);
  EXPECT_EQ(output.find("retrying"), std::string::npos);

  ScriptedDvr::Settings dvrSettings;
  dvrSettings.withAudio = true;
  ScriptedDvr dvr(dvrSettings);
  testing::internal::CaptureStdout();
  run_.Start(dvr.Url());
  ASSERT_TRUE(WaitVideoPlayout(kOpenMs));
  run_.Stop();
  output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(dvr.Server().Requests().size(), 5u);
  EXPECT_EQ(output.find("retrying"), std::string::npos);
}

// A session of a standard server is kept with a GET_PARAMETER every half of its timeout, its
// reply read so that the TEARDOWN gets its own; the DVR's sessions get none.
TEST_F(StandardSessionTest, KeepAliveEveryHalfTimeout) {
  EXPECT_EQ(SessionTimeoutSeconds("4E2B9C71;timeout=30"), 30);
  EXPECT_EQ(SessionTimeoutSeconds("4E2B9C71"), 60);
  EXPECT_EQ(SessionTimeoutSeconds("4E2B9C71;timeout=0"), 2);
  StandardServer::Settings settings;
  settings.absoluteControl = false;
  settings.strictSession = false;
  settings.strictPlayUrl = false;
  settings.sessionTimeout = 2;
  server_ = std::make_unique<StandardServer>(settings);
  RtspSessionOptions options = TestPlayoutOptions();
  options.keepAlive = true;
  SessionRun run(options);
  testing::internal::CaptureStdout();
  run.Start(server_->Url());
  ASSERT_TRUE(WaitVideoPlayout(kOpenMs));
  bool kept = server_->Server().WaitRequests(7, 3500);  // 5 to open, two keep-alives
  run.Stop();
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(kept) << output;
  auto lines = Lines(server_->Server().Requests());
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[5], "GET_PARAMETER " + server_->Url() + "/ 4E2B9C71;timeout=2");
  EXPECT_EQ(RequestMethod(server_->Server().Requests().back()), "TEARDOWN");
  EXPECT_EQ(output.find("cannot handle"), std::string::npos) << output;
}

// Refusals other than the standard ones, and standard ones with every form tried, end the
// request as before: no endless retries.
TEST_F(StandardSessionTest, RetriesAreBounded) {
  ScriptedRtspServer always404(
      [](const std::string& request) { return StandardReply(404, CSeqOf(request), "", "gone"); });
  testing::internal::CaptureStdout();
  run_.Start(always404.Url("x"));
  DWORD code = run_.Wait(kOpenMs);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, static_cast<DWORD>(-1));
  EXPECT_EQ(always404.Requests().size(), 1u);  // DESCRIBE refused: nothing to switch

  ScriptedDvr dvr({});
  ScriptedRtspServer playRefused([&](const std::string& request) {
    if (RequestMethod(request) == "PLAY") return StandardReply(404, CSeqOf(request), "", "gone");
    return StandardReply(200, CSeqOf(request),
                         RequestMethod(request) == "SETUP" ? "Session: 7;timeout=9\r\n" : "",
                         RequestMethod(request) == "DESCRIBE" ? dvr.Sdp() : "");
  });
  testing::internal::CaptureStdout();
  run_.Start(playRefused.Url("x"));
  ASSERT_TRUE(WaitVideoPlayout(kOpenMs));
  run_.Stop();
  output = testing::internal::GetCapturedStdout();
  auto lines = Lines(playRefused.Requests());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "PLAY " + playRefused.Url("x") + "/ 7;timeout=9");
  EXPECT_EQ(lines[3], "PLAY " + playRefused.Url("x") + "/ 7");
  EXPECT_EQ(lines[4], "PLAY " + playRefused.Url("x") + " 7");
  EXPECT_EQ(lines[5], "TEARDOWN " + playRefused.Url("x") + " 7");
  EXPECT_NE(output.find("Play MediaSession failed"), std::string::npos);
}

}  // namespace
