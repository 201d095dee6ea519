// The simulator as the player of its recordings, through real sockets: the URL the viewer
// builds from a record, the description's range, PLAY from the key frame at or before a
// position (and saying so), PAUSE, PLAY without a position, and the BYE at the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "tools/dvrsim/catalogue.h"
#include "tools/dvrsim/recording_files.h"
#include "tools/dvrsim/rtsp_server.h"
#include "tools/dvrsim/test_client.h"

namespace dvrsim {
namespace {

namespace fs = std::filesystem;
using test::Reply;

constexpr int kSeconds = 6;

// "/S_A_C_B_D_SIZE_.avi" of today's recording of channel 1, as the viewer builds it.
std::string RecordingPath(const Options& o, int64_t sizeChange = 0) {
  Catalogue catalogue(o.channels, o.records.recordsPerDay, std::time(nullptr));
  RecordingFiles files(o.records.cacheDir, o.width, o.height, o.records.recordSeconds);
  for (const auto& r : catalogue.all()) {
    if (r.channel != 1 || r.day != 1) continue;
    char path[96];
    std::snprintf(path, sizeof path, "/0_%d_%d_%d_%d_%lld_.avi", r.channel, r.segment, r.day,
                  r.serial, static_cast<long long>(files.Get(r).size + sizeChange));
    return path;
  }
  return "";
}

std::string Parameter(const std::string& text, const std::string& name) {
  size_t at = text.find(name + "=");
  if (at == std::string::npos) return "";
  at += name.size() + 1;
  return text.substr(at, text.find_first_of(";,\r\n", at) - at);
}

TEST(DvrsimPlayback, PlaysARecordingFromAKeyFramePausesResumesAndSaysByeAtTheEnd) {
  Options o;
  o.port = 0;
  o.channels = 1;
  o.loopFrames = 25;
  o.records.recordsPerDay = 1;
  o.records.recordSeconds = kSeconds;
  o.records.cacheDir = (fs::temp_directory_path() / "dvrsim-playback-test").string();
  RtspServer server(o, EncodeChannels(o.width, o.height, 1, 25));
  server.Start();
  const std::string base = "rtsp://127.0.0.1:" + std::to_string(server.port());
  const std::string url = base + RecordingPath(o);
  test::RtspClient rtsp;
  ASSERT_TRUE(rtsp.Connect(server.port()));

  // What names no recording is not found: another size, a malformed name, another path.
  EXPECT_EQ(rtsp.Request("DESCRIBE", base + RecordingPath(o, 1)).code, 404);
  EXPECT_EQ(rtsp.Request("DESCRIBE", base + "/0_1_x_1_2_3_.avi").code, 404);
  EXPECT_EQ(rtsp.Request("DESCRIBE", base + "/nothing.here").code, 404);

  Reply d = rtsp.Request("DESCRIBE", url);
  ASSERT_EQ(d.code, 200);
  EXPECT_NE(d.body.find("a=range:npt=0-6.000\r\n"), std::string::npos) << d.body;
  test::UdpPair video;
  Reply setup =
      rtsp.Request("SETUP", url + "/trackID=1",
                   "Transport: RTP/AVP;unicast;client_port=" + std::to_string(video.rtpPort) + "-" +
                       std::to_string(video.rtcpPort) + "\r\n");
  ASSERT_EQ(setup.code, 200);
  const std::string session = "Session: " + setup.Header("session") + "\r\n";

  // From 3.5 s: the key frame of second 3, said in Range and RTP-Info, is the first picture.
  Reply play = rtsp.Request("PLAY", url + "/", session + "Range: npt=3.5-\r\n");
  ASSERT_EQ(play.code, 200);
  EXPECT_EQ(play.Header("range"), "npt=3.000-6.000");
  const std::string info = play.Header("rtp-info");
  auto first = video.Receive(700);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(std::to_string(first.front().seq), Parameter(info, "seq"));
  EXPECT_EQ(std::to_string(first.front().timestamp), Parameter(info, "rtptime"));
  EXPECT_EQ(first.front().payload[0] & 0x1F, 7);  // the key frame's parameter sets
  auto seen = test::DecodeAndRead(test::Depacketize(first, nullptr), o.width, o.height);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front().counter, "0003");

  // PAUSE holds; PLAY without a position goes on with the next picture.
  ASSERT_EQ(rtsp.Request("PAUSE", url + "/", session).code, 200);
  auto tail = video.Receive(100);
  const auto& last = tail.empty() ? first.back() : tail.back();
  EXPECT_TRUE(video.Receive(500).empty());
  ASSERT_EQ(rtsp.Request("PLAY", url + "/", session).code, 200);
  auto resumed = video.Receive(300);
  ASSERT_FALSE(resumed.empty());
  EXPECT_EQ(resumed.front().seq, static_cast<uint16_t>(last.seq + 1));
  EXPECT_EQ(resumed.front().timestamp, last.timestamp + 3600);

  // The end: the pictures stop and a BYE names the stream's source.
  video.Receive(3000);
  EXPECT_TRUE(video.Receive(400).empty());
  bool bye = false;
  for (const auto& r : video.rtcp) {
    for (size_t at = 0; at + 8 <= r.size(); at += 4 * ((r[at + 2] << 8 | r[at + 3]) + 1)) {
      const uint32_t ssrc =
          static_cast<uint32_t>(r[at + 4]) << 24 | r[at + 5] << 16 | r[at + 6] << 8 | r[at + 7];
      bye = bye || (r[at + 1] == 203 && ssrc == first.front().ssrc);
    }
  }
  EXPECT_TRUE(bye);
  EXPECT_EQ(rtsp.Request("TEARDOWN", url, session).code, 200);
}

}  // namespace
}  // namespace dvrsim
