// The simulator against a client of the tests' own, over real loopback sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "platform/h264dec/hi_h264dec_w.h"
#include "tools/dvrsim/media.h"
#include "tools/dvrsim/rtsp_connection.h"
#include "tools/dvrsim/rtsp_request.h"
#include "tools/dvrsim/rtsp_server.h"
#include "tools/dvrsim/run.h"
#include "tools/dvrsim/source_file.h"
#include "tools/dvrsim/test_client.h"

namespace dvrsim {
namespace {

using test::LiveSession;
using test::Reply;
using test::RtpPacket;

constexpr int kW = 352, kH = 288;

const std::vector<ChannelLoop>& Loops() {
  static const std::vector<ChannelLoop> loops = EncodeChannels(kW, kH, 3, 50);
  return loops;
}

Options TestOptions() {
  Options o;
  o.port = 0;
  o.channels = 3;
  o.loopFrames = 50;
  return o;
}

struct Server {
  explicit Server(Options o = TestOptions(), const std::vector<ChannelLoop>& loops = Loops())
      : server(o, loops) {
    server.Start();
  }
  RtspServer server;
  int port() const { return server.port(); }
};

int DistinctTimestamps(const std::vector<RtpPacket>& packets) {
  std::set<uint32_t> ts;
  for (const auto& p : packets) ts.insert(p.timestamp);
  return static_cast<int>(ts.size());
}

TEST(DvrsimLive, StreamsItsChannelWithAdvancingCounterAtTwentyFiveFrames) {
  Server s;
  LiveSession live;
  ASSERT_EQ(live.Open(s.port(), 2), "");
  auto packets = live.video.Receive(1200);
  ASSERT_GT(packets.size(), 20u);
  // About 25 pictures a second, each 3600 ticks of the 90 kHz clock after the last.
  int frames = DistinctTimestamps(packets);
  EXPECT_GE(frames, 24);
  EXPECT_LE(frames, 34);
  uint32_t span = packets.back().timestamp - packets.front().timestamp;
  EXPECT_EQ(span, static_cast<uint32_t>(frames - 1) * 3600u);
  for (size_t i = 1; i < packets.size(); ++i) {
    EXPECT_EQ(packets[i].seq, static_cast<uint16_t>(packets[i - 1].seq + 1));
    EXPECT_EQ(packets[i].payloadType, kVideoPayloadType);
    EXPECT_LE(packets[i].payload.size(), kMaxRtpPayload);
    // The marker closes each picture: the timestamp only changes after it.
    if (packets[i].timestamp != packets[i - 1].timestamp) {
      EXPECT_TRUE(packets[i - 1].marker);
    }
  }
  int fragmented = 0;
  auto seen = test::DecodeAndRead(test::Depacketize(packets, &fragmented), kW, kH);
  EXPECT_GT(fragmented, 0);  // key frames exceed one packet
  ASSERT_GE(seen.size(), 20u);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].channel, "02") << i;
    EXPECT_EQ(seen[i].counter, (i < 10 ? "000" : "00") + std::to_string(i)) << i;
  }
  // A sender report of the same source came on the RTCP port.
  ASSERT_FALSE(live.video.rtcp.empty());
  const auto& sr = live.video.rtcp[0];
  ASSERT_EQ(sr.size(), 28u);
  EXPECT_EQ(sr[1], 200);
  EXPECT_EQ((uint32_t{sr[4]} << 24 | sr[5] << 16 | sr[6] << 8 | sr[7]), packets[0].ssrc);

  Reply t = live.rtsp.Request("TEARDOWN", live.url, "Session: " + live.session + "\r\n");
  EXPECT_EQ(t.code, 200);
  live.video.Receive(100);  // what was already under way
  EXPECT_TRUE(live.video.Receive(300).empty());
}

TEST(DvrsimLive, ServesSeveralClientsAndChannelsAtOnce) {
  Server s;
  LiveSession a, b, c;
  ASSERT_EQ(a.Open(s.port(), 1), "");
  ASSERT_EQ(b.Open(s.port(), 3), "");
  ASSERT_EQ(c.Open(s.port(), 1), "");
  EXPECT_NE(a.session, c.session);
  std::vector<RtpPacket> pa, pb, pc;
  std::thread tb([&] { pb = b.video.Receive(700); });
  std::thread tc([&] { pc = c.video.Receive(700); });
  pa = a.video.Receive(700);
  tb.join();
  tc.join();
  std::vector<std::pair<std::vector<RtpPacket>*, std::string>> expect = {
      {&pa, "01"}, {&pb, "03"}, {&pc, "01"}};
  for (auto& [packets, channel] : expect) {
    auto seen = test::DecodeAndRead(test::Depacketize(*packets, nullptr), kW, kH);
    ASSERT_GE(seen.size(), 10u) << channel;
    EXPECT_EQ(seen.front().channel, channel);
    EXPECT_EQ(seen.back().channel, channel);
  }
  EXPECT_EQ(s.server.stats().sessionsOpened, 3u);
}

TEST(DvrsimLive, PauseStopsThePacketsAndPlayResumesOnAKeyFrame) {
  Server s;
  LiveSession live;
  ASSERT_EQ(live.Open(s.port(), 1), "");
  auto before = live.video.Receive(300);
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(live.rtsp.Request("PAUSE", live.url + "/", "Session: " + live.session + "\r\n").code,
            200);
  live.video.Receive(80);
  EXPECT_TRUE(live.video.Receive(400).empty());
  Reply p = live.rtsp.Request("PLAY", live.url + "/",
                              "Session: " + live.session + "\r\nRange: npt=75-\r\n");
  EXPECT_EQ(p.code, 200);
  auto after = live.video.Receive(1200);
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after.front().payload[0] & 0x1F, 7);  // parameter sets open the resumed stream
  EXPECT_EQ(after.front().seq, static_cast<uint16_t>(before.back().seq + 1));
  // Live time went on while paused.
  EXPECT_GT(after.front().timestamp - before.back().timestamp, 90000u * 4 / 10);
  auto seen = test::DecodeAndRead(test::Depacketize(after, nullptr), kW, kH);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front().channel, "01");
}

TEST(DvrsimLive, D1PicturesCarryTheirDigitsToo) {
  static const auto loops = EncodeChannels(720, 576, 1, 25);
  Options o = TestOptions();
  o.channels = 1;
  o.width = 720;
  o.height = 576;
  Server s(o, loops);
  LiveSession live;
  ASSERT_EQ(live.Open(s.port(), 1), "");
  auto seen = test::DecodeAndRead(test::Depacketize(live.video.Receive(600), nullptr), 720, 576);
  ASSERT_GE(seen.size(), 8u);
  EXPECT_EQ(seen[0].channel, "01");
  EXPECT_EQ(seen[0].counter, "0000");
  EXPECT_EQ(seen[7].counter, "0007");
}

// A file of another codec and size, made by ffmpeg here, is coded once into the cache and
// streamed on every channel; the pictures a client receives decode at the simulator's size.
TEST(DvrsimSource, StreamsAFileCodedOnceAsDecodableH264) {
  if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("dvrsim_source_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  const fs::path file = dir / "clip.avi";
  const std::string make =
      "ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=320x240:rate=30 "
      "-t 2 -c:v mpeg4 -y " +
      file.string();
  ASSERT_EQ(std::system(make.c_str()), 0);
  const std::string cache = (dir / "cache").string();
  std::ostringstream log;
  auto given = LoadChannelSources({{0, file.string()}}, 2, kW, kH, 25, log, cache);
  ASSERT_EQ(given.size(), 2u);
  EXPECT_EQ(given.at(1).size(), 25u);
  EXPECT_NE(log.str().find("coding"), std::string::npos);
  // A second start finds the coded file and codes nothing.
  std::ostringstream again;
  EXPECT_EQ(LoadSourceFrames(file.string(), kW, kH, 25, again, cache).size(), 25u);
  EXPECT_EQ(again.str(), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(cache), fs::directory_iterator()), 1);

  Options o = TestOptions();
  o.channels = 2;
  Server s(o, EncodeChannels(kW, kH, 2, 25, Backdrop::kGradient, given));
  LiveSession live;
  ASSERT_EQ(live.Open(s.port(), 2), "");
  std::vector<uint8_t> stream = test::Depacketize(live.video.Receive(1200), nullptr);
  H264_DEC_ATTR_S attr{0, 0, 45, 36, 3, 0, nullptr, 0};
  HI_HDL decoder = Hi264DecCreate(&attr);
  ASSERT_NE(decoder, nullptr);
  int pictures = 0, drawn = 0;
  H264_DEC_FRAME_S picture{};
  for (auto nal : SplitAnnexB(stream.data(), stream.size())) {
    nal.insert(nal.begin(), {0, 0, 0, 1});
    HI_S32 r = Hi264DecFrame(decoder, nal.data(), static_cast<HI_U32>(nal.size()), 0, &picture, 0);
    for (; r == HI_H264DEC_OK; r = Hi264DecFrame(decoder, nullptr, 0, 0, &picture, 0)) {
      ++pictures;
      EXPECT_EQ(picture.uWidth, static_cast<HI_U32>(kW));
      EXPECT_EQ(picture.uHeight, static_cast<HI_U32>(kH));
      // The file's pictures, not the simulator's own: no channel number in them.
      if (ReadDigitRow(picture.pY, static_cast<int>(picture.uYStride), kW, 0) == "02") ++drawn;
    }
  }
  Hi264DecDestroy(decoder);
  EXPECT_GE(pictures, 20);
  EXPECT_EQ(drawn, 0);
  fs::remove_all(dir);
}

// A client nobody here wrote: FFmpeg's RTSP demuxer reads the stream and decodes it.
TEST(DvrsimLive, FfprobeReadsTheLiveStream) {
  if (std::system("ffprobe -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffprobe";
  Server s;
  auto file = std::filesystem::temp_directory_path() /
              ("dvrsim_ffprobe_" + std::to_string(s.port()) + ".txt");
  std::string command =
      "timeout 20 ffprobe -v error -rtsp_transport udp -select_streams v -count_frames "
      "-read_intervals %+1.5 -show_entries stream=codec_name,width,height,nb_read_frames "
      "-of default=nw=1 rtsp://127.0.0.1:" +
      std::to_string(s.port()) + "/2.live > " + file.string() + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(file);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(file);
  EXPECT_NE(text.find("codec_name=h264\nwidth=352\nheight=288\n"), std::string::npos) << text;
  size_t at = text.find("nb_read_frames=");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_GE(std::atoi(text.c_str() + at + 15), 25) << text;
}

TEST(DvrsimRtsp, DescribesSetsUpAndRefusesWhatItDoesNotServe) {
  Options o = TestOptions();
  o.audio = true;
  o.sessionTimeout = 33;
  Server s(o);
  test::RtspClient c;
  ASSERT_TRUE(c.Connect(s.port()));
  std::string url = "rtsp://127.0.0.1:" + std::to_string(s.port()) + "/3.live";
  EXPECT_NE(c.Request("OPTIONS", url).Header("public").find("DESCRIBE"), std::string::npos);
  Reply d = c.Request("DESCRIBE", url, "Accept: application/sdp\r\n");
  ASSERT_EQ(d.code, 200);
  EXPECT_EQ(d.Header("content-type"), "application/sdp");
  EXPECT_EQ(d.Header("content-length"), std::to_string(d.body.size()));
  std::istringstream lines(d.body);
  std::string line;
  std::vector<std::string> media;
  while (std::getline(lines, line)) {
    ASSERT_FALSE(line.empty() || line.back() != '\r') << "line ends without CR LF";
    EXPECT_TRUE(line.size() >= 2 && std::islower(line[0]) && line[1] == '=') << line;
    if (line[0] == 'm') media.push_back(line.substr(0, line.size() - 1));
  }
  EXPECT_EQ(media, (std::vector<std::string>{"m=video 0 RTP/AVP 96", "m=audio 0 RTP/AVP 97"}));
  EXPECT_NE(d.body.find("a=rtpmap:96 H264/90000\r\n"), std::string::npos);
  EXPECT_NE(d.body.find("sprop-parameter-sets="), std::string::npos);

  test::UdpPair v, a;
  auto transport = [](const test::UdpPair& p) {
    return "Transport: RTP/AVP;unicast;client_port=" + std::to_string(p.rtpPort) + "-" +
           std::to_string(p.rtcpPort) + "\r\n";
  };
  Reply sv = c.Request("SETUP", url + "/trackID=1", transport(v));
  ASSERT_EQ(sv.code, 200);
  std::string session = sv.Header("session");
  EXPECT_NE(session.find(";timeout=33"), std::string::npos) << session;
  std::string t = sv.Header("transport");
  EXPECT_NE(t.find("client_port=" + std::to_string(v.rtpPort) + "-"), std::string::npos) << t;
  size_t sp = t.find("server_port=");
  ASSERT_NE(sp, std::string::npos);
  EXPECT_EQ(t.find(';', sp), std::string::npos) << "server_port is not last: " << t;
  // The token is sent back whole, timeout and all, as some clients do.
  Reply sa = c.Request("SETUP", url + "/trackID=2", transport(a) + "Session: " + session + "\r\n");
  ASSERT_EQ(sa.code, 200);
  EXPECT_EQ(sa.Header("session"), session);
  EXPECT_NE(sa.Header("transport"), t);

  EXPECT_EQ(c.Request("DESCRIBE", "rtsp://127.0.0.1/9.live").code, 404);
  EXPECT_EQ(c.Request("DESCRIBE", "rtsp://127.0.0.1/3.avi").code, 404);
  EXPECT_EQ(c.Request("SETUP", url + "/trackID=7", transport(v)).code, 404);
  EXPECT_EQ(
      c.Request("SETUP", url + "/trackID=1", "Transport: RTP/AVP/TCP;interleaved=0-1\r\n").code,
      461);
  EXPECT_EQ(c.Request("PLAY", url + "/", "Session: 12345678\r\n").code, 454);
  EXPECT_EQ(c.Request("PLAY", url + "/").code, 454);
  EXPECT_EQ(c.Request("RECORD", url).code, 501);
  EXPECT_EQ(c.Request("PLAY", url + "/", "Session: " + session + "\r\n").code, 200);
  EXPECT_EQ(c.Request("TEARDOWN", url, "Session: " + session + "\r\n").code, 200);
  EXPECT_EQ(c.Request("TEARDOWN", url, "Session: " + session + "\r\n").code, 454);
  // A connection that only sets up new sessions runs out of them, not the server of sockets.
  int refused = 0;
  for (size_t i = 0; i <= kMaxSessionsPerConnection; ++i) {
    refused += c.Request("SETUP", url + "/trackID=1", transport(v)).code == 453;
  }
  EXPECT_EQ(refused, 1);
}

TEST(DvrsimRtsp, WithoutAudioTheSdpHasOneMediaLine) {
  Server s;
  LiveSession live;
  ASSERT_EQ(live.Open(s.port(), 1), "");
  EXPECT_EQ(live.sdp.find("m=audio"), std::string::npos);
  test::UdpPair a;
  EXPECT_EQ(live.rtsp
                .Request("SETUP", live.url + "/trackID=2",
                         "Transport: RTP/AVP;unicast;client_port=" + std::to_string(a.rtpPort) +
                             "-" + std::to_string(a.rtcpPort) + "\r\n")
                .code,
            404);
}

TEST(DvrsimRtsp, BadRequestsAreAnsweredAndBodiesSkipped) {
  Server s;
  {
    test::RtspClient c;
    ASSERT_TRUE(c.Connect(s.port()));
    // A request with a body, then one more on the same connection.
    ASSERT_TRUE(
        c.SendRaw("SET_PARAMETER rtsp://127.0.0.1/1.live RTSP/1.0\r\nCSeq: 1\r\n"
                  "Content-Length: 5\r\n\r\nhello"));
    EXPECT_EQ(c.ReadReply(2000).code, 200);
    ASSERT_TRUE(c.SendRaw("OPTIONS * RTSP/1.0\r\nCSeq: 2\r\n\r\n"));
    Reply r = c.ReadReply(2000);
    EXPECT_EQ(r.code, 200);
    EXPECT_EQ(r.Header("cseq"), "2");
    ASSERT_TRUE(c.SendRaw("garbage\r\n\r\n"));
    EXPECT_EQ(c.ReadReply(2000).code, 400);
    EXPECT_TRUE(c.WaitClosed(1000));
  }
  {
    test::RtspClient c;
    ASSERT_TRUE(c.Connect(s.port()));
    ASSERT_TRUE(c.SendRaw("OPTIONS * RTSP/1.0\r\nX: " + std::string(kMaxRequestHeader, 'x')));
    EXPECT_EQ(c.ReadReply(2000).code, 400);
    EXPECT_TRUE(c.WaitClosed(1000));
  }
}

TEST(DvrsimRtcp, ReceiverReportsAreCountedAndKeepTheSessionAlive) {
  Options o = TestOptions();
  o.sessionTimeout = 1;
  Server s(o);
  LiveSession live;
  ASSERT_EQ(live.Open(s.port(), 1), "");
  const std::vector<uint8_t> opening = {0xCE, 0xFA, 0xED, 0xFE};
  live.video.SendRtp(live.serverRtp, opening);
  live.video.SendRtp(live.serverRtp, opening);
  int sent = 0;
  uint32_t ssrc = 0;
  for (int i = 0; i < 6; ++i) {  // 1.8 s, longer than the timeout
    auto got = live.video.Receive(300);
    ASSERT_FALSE(got.empty()) << "stream stopped although reports arrived, pass " << i;
    ssrc = got.back().ssrc;
    live.video.SendRtcp(live.serverRtcp, test::ReceiverReport(ssrc, got.back().seq));
    ++sent;
  }
  live.video.Receive(100);
  EXPECT_EQ(s.server.stats().receiverReports, static_cast<uint64_t>(sent));
  EXPECT_EQ(s.server.stats().openingDatagrams, 2u);
  // Silence from the client: the session times out and the stream stops.
  live.video.Receive(1300);
  EXPECT_TRUE(live.video.Receive(300).empty());
  EXPECT_EQ(s.server.stats().sessionsExpired, 1u);
  EXPECT_EQ(live.rtsp.Request("PLAY", live.url + "/", "Session: " + live.session + "\r\n").code,
            454);
}

TEST(DvrsimFaults, LossReorderAndDuplicatesShowOnTheWire) {
  Options o = TestOptions();
  o.faults = FaultShares{0.1, 0.1, 0.1};
  o.seed = 7;
  Server s(o);
  LiveSession live;
  ASSERT_EQ(live.Open(s.port(), 1), "");
  auto packets = live.video.Receive(2000);
  ASSERT_GT(packets.size(), 30u);
  std::set<uint16_t> seqs;
  int duplicates = 0, backwards = 0;
  for (size_t i = 0; i < packets.size(); ++i) {
    if (!seqs.insert(packets[i].seq).second) ++duplicates;
    if (i > 0 && static_cast<int16_t>(packets[i].seq - packets[i - 1].seq) < 0) ++backwards;
  }
  uint16_t first = *std::min_element(seqs.begin(), seqs.end());
  uint16_t last = *std::max_element(seqs.begin(), seqs.end());
  int missing = (last - first + 1) - static_cast<int>(seqs.size());
  EXPECT_GT(duplicates, 0);
  EXPECT_GT(backwards, 0);
  EXPECT_GT(missing, 0);
  const ServerStats& st = s.server.stats();
  double wire = static_cast<double>(st.rtpPackets) / static_cast<double>(st.rtpPacketsOffered);
  EXPECT_NEAR(wire, 1.0 - 0.1 + 0.1 * 0.9, 0.15);  // drops, and duplicates of what is kept
  // The stream stays decodable from its next key frame on.
  std::vector<RtpPacket> ordered = packets;
  std::stable_sort(ordered.begin(), ordered.end(), [&](const RtpPacket& a, const RtpPacket& b) {
    return static_cast<uint16_t>(a.seq - first) < static_cast<uint16_t>(b.seq - first);
  });
  ordered.erase(std::unique(ordered.begin(), ordered.end(),
                            [](const RtpPacket& a, const RtpPacket& b) { return a.seq == b.seq; }),
                ordered.end());
  auto seen = test::DecodeAndRead(test::Depacketize(ordered, nullptr), kW, kH);
  EXPECT_FALSE(seen.empty());
}

TEST(DvrsimFaults, SilentChannelAnswersButSendsNothing) {
  Options o = TestOptions();
  o.silentChannels = {2};
  Server s(o);
  LiveSession quiet, loud;
  ASSERT_EQ(quiet.Open(s.port(), 2), "");
  ASSERT_EQ(loud.Open(s.port(), 1), "");
  std::vector<RtpPacket> fromLoud;
  std::thread t([&] { fromLoud = loud.video.Receive(600); });
  EXPECT_TRUE(quiet.video.Receive(600).empty());
  t.join();
  EXPECT_FALSE(fromLoud.empty());
  EXPECT_TRUE(quiet.video.rtcp.empty());
}

TEST(DvrsimFaults, RefuseClosesEveryConnectionUnanswered) {
  Options o = TestOptions();
  o.refuse = true;
  Server s(o);
  test::RtspClient c;
  ASSERT_TRUE(c.Connect(s.port()));
  EXPECT_EQ(c.Request("OPTIONS", "rtsp://127.0.0.1/1.live", "", 1000).code, -1);
  EXPECT_TRUE(c.WaitClosed(1000));
}

TEST(DvrsimFaults, CloseAfterDropsTheConnectionAndItsStream) {
  Options o = TestOptions();
  o.closeAfterPlay = 0.5;
  Server s(o);
  LiveSession live;
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(live.Open(s.port(), 1), "");
  EXPECT_FALSE(live.video.Receive(200).empty());
  EXPECT_TRUE(live.rtsp.WaitClosed(1500));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(450));
  live.video.Receive(100);
  EXPECT_TRUE(live.video.Receive(300).empty());
}

}  // namespace
}  // namespace dvrsim
