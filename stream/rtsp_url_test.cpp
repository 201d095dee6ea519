#include "stream/rtsp_url.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
  int result;
  std::string host;
  int port;
  std::string output;
};

Parsed Parse(const std::string& url) {
  Parsed parsed{0, "", 0, ""};
  testing::internal::CaptureStdout();
  parsed.result = ParseRtspUrl(url.c_str(), &parsed.host, &parsed.port);
  parsed.output = testing::internal::GetCapturedStdout();
  return parsed;
}

TEST(RtspUrl, HostAndPort) {
  Parsed live = Parse("rtsp://192.168.1.10/3.live");
  EXPECT_EQ(live.result, 0);
  EXPECT_EQ(live.host, "192.168.1.10");
  EXPECT_EQ(live.port, 554);
  Parsed port = Parse("rtsp://dvr.example:8554/1_2_3_4_5_6_.avi");
  EXPECT_EQ(port.result, 0);
  EXPECT_EQ(port.host, "dvr.example");
  EXPECT_EQ(port.port, 8554);
  Parsed bare = Parse("rtsp://10.0.0.1");
  EXPECT_EQ(bare.host, "10.0.0.1");
  EXPECT_EQ(bare.port, 554);
  EXPECT_EQ(Parse("rtsp://h:65535/").port, 65535);
  EXPECT_EQ(Parse("rtsp://" + std::string(99, 'a') + "/x").result, 0);
}

TEST(RtspUrl, Rejections) {
  EXPECT_EQ(Parse("http://10.0.0.1/1.live").output, "URL is not of the form\n");
  EXPECT_EQ(Parse("RTSP://10.0.0.1/1.live").output, "URL is not of the form\n");
  Parsed zero = Parse("rtsp://10.0.0.1:0/1.live");
  EXPECT_EQ(zero.result, -1);
  EXPECT_EQ(zero.output, "Bad port number\n");
  EXPECT_EQ(Parse("rtsp://10.0.0.1:65536/").output, "Bad port number\n");
  EXPECT_EQ(Parse("rtsp://10.0.0.1:99999999999999999999/").output, "Bad port number\n");
  Parsed missing = Parse("rtsp://10.0.0.1:/1.live");
  EXPECT_EQ(missing.result, -1);
  EXPECT_EQ(missing.output.rfind("No port number follows :", 0), 0u);
  Parsed tooLong = Parse("rtsp://" + std::string(100, 'h') + ":554/1.live");
  EXPECT_EQ(tooLong.result, -1);
  EXPECT_EQ(tooLong.output, "URL is too long\n");
}

}  // namespace
