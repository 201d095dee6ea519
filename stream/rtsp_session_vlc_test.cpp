// The session against VLC's RTSP server serving a file on loopback: absolute control URLs,
// a timed Session token and a PLAY URL without the slash, each switched to once. VLC does not
// run as root, so it runs as nobody; the clip is made with GStreamer's tools.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/net/loopback.h"
#include "stream/rtsp_session.h"
#include "stream/test_session_run.h"

namespace {

constexpr char kClip[] = "/tmp/orvix_vlc_clip.ts";

bool Have(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

bool MakeClip() {
  std::string command = std::string(
                            "gst-launch-1.0 -q videotestsrc num-buffers=250 ! "
                            "video/x-raw,width=352,height=288,framerate=25/1 ! x264enc "
                            "key-int-max=25 ! h264parse ! mpegtsmux ! filesink location=") +
                        kClip + " >/dev/null 2>&1 && chmod 644 " + kClip;
  return std::system(command.c_str()) == 0;
}

int FreePort() {
  SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = platform::net::LoopbackAddress(0);
  bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int port = platform::net::BoundPort(sock);
  closesocket(sock);
  return port;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(RtspSessionVlc, FilePlaysAfterOneRetryPerForm) {
  if (!Have("cvlc") || !Have("gst-launch-1.0") || !Have("runuser"))
    GTEST_SKIP() << "needs cvlc (vlc-bin, vlc-plugin-base), gst-launch-1.0 and runuser";
  ASSERT_TRUE(MakeClip());
  const int port = FreePort();
  const std::string url = "rtsp://127.0.0.1:" + std::to_string(port) + "/clip.ts";
  std::string command = "setsid runuser -u nobody -- timeout 40 cvlc -I dummy --no-audio " +
                        std::string(kClip) + " --loop --sout '#rtp{sdp=" + url +
                        "}' >/dev/null 2>&1 & echo $!";
  FILE* vlc = popen(command.c_str(), "r");
  ASSERT_TRUE(vlc);
  char pid[32] = {};
  bool started = std::fgets(pid, sizeof pid, vlc) != nullptr;
  pclose(vlc);
  ASSERT_TRUE(started);
  // VLC's process group, ended when the test ends whatever its outcome.
  struct Group {
    ~Group() {
      if (leader > 0) std::system(("kill -- -" + std::to_string(leader) + " 2>/dev/null").c_str());
    }
    int leader;
  } group{std::atoi(pid)};
  SessionRun run;
  bool opened = false;
  std::string output;
  // VLC takes a moment to listen; each try is a whole run.
  for (int attempt = 0; attempt < 10 && !opened; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    testing::internal::CaptureStdout();
    run.Start(url);
    opened = WaitVideoPlayout(3000);
    if (!opened) run.Wait(15000);
    output = testing::internal::GetCapturedStdout();
  }
  ASSERT_TRUE(opened) << output;
  testing::internal::CaptureStdout();
  // Session fields, not the queue: the queue goes when the run ends.
  bool receiving = WaitFor([&] { return run.session.elapsedSeconds >= 1; }, 10000);
  run.Stop();
  output += testing::internal::GetCapturedStdout();
  EXPECT_TRUE(receiving) << output;
  EXPECT_EQ(output.find("Play MediaSession failed"), std::string::npos) << output;
  EXPECT_EQ(Occurrences(output, "retrying on the control URL"), 1u) << output;
  EXPECT_EQ(Occurrences(output, "Session token without its parameters"), 1u);
  EXPECT_EQ(Occurrences(output, "without the trailing slash"), 1u);
}

}  // namespace
