// The simulator's pieces on their own, and its program entry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <thread>

#include "tools/dvrsim/encoder.h"
#include "tools/dvrsim/media.h"
#include "tools/dvrsim/options.h"
#include "tools/dvrsim/rtp_packetizer.h"
#include "tools/dvrsim/rtsp_request.h"
#include "tools/dvrsim/run.h"
#include "tools/dvrsim/scene.h"
#include "tools/dvrsim/test_client.h"

namespace dvrsim {
namespace {

test::RtpPacket Parse(const Datagram& d) { return test::ReadRtpPacket(d).value(); }

TEST(DvrsimPackets, LargeUnitsGoAsFuAFragmentsThatRebuildExactly) {
  std::vector<uint8_t> big(3000), small = {0x68, 1, 2, 3};
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  big[0] = 0x65;  // IDR slice, NRI 3
  RtpPacketizer packer(96, 0x11223344, 65534);
  auto out = packer.PacketizeAccessUnit({small, big}, 1234);
  ASSERT_EQ(out.size(), 4u);  // one single unit and three fragments
  std::vector<test::RtpPacket> packets;
  for (const auto& d : out) packets.push_back(Parse(d));
  EXPECT_EQ(packets[0].seq, 65534);
  EXPECT_EQ(packets[2].seq, 0);            // wraps
  EXPECT_EQ(packets[1].payload[0], 0x7C);  // FU indicator keeps the NRI, type 28
  EXPECT_EQ(packets[1].payload[1], 0x85);  // start bit and the unit's type
  EXPECT_EQ(packets[3].payload[1], 0x45);  // end bit
  for (size_t i = 0; i < packets.size(); ++i) {
    EXPECT_LE(packets[i].payload.size(), kMaxRtpPayload);
    EXPECT_EQ(packets[i].timestamp, 1234u);
    EXPECT_EQ(packets[i].marker, i + 1 == packets.size());
  }
  int fragmented = 0;
  auto stream = test::Depacketize(packets, &fragmented);
  std::vector<uint8_t> expect = {0, 0, 0, 1};
  expect.insert(expect.end(), small.begin(), small.end());
  expect.insert(expect.end(), {0, 0, 0, 1});
  expect.insert(expect.end(), big.begin(), big.end());
  EXPECT_EQ(stream, expect);
  EXPECT_EQ(fragmented, 1);
  EXPECT_EQ(packer.packets(), 4u);
}

// Busy pictures fragment nearly every frame; their digits must survive the noise beside them.
TEST(DvrsimPackets, BusyLoopFragmentsEveryFrameAndStaysReadable) {
  auto frames = EncodeChannelLoop(352, 288, 6, 25, Backdrop::kNoise);
  RtpPacketizer packer(96, 1, 100);
  std::vector<test::RtpPacket> packets;
  for (size_t n = 0; n < frames.size(); ++n) {
    for (const auto& d : packer.PacketizeAccessUnit(frames[n].nals, 3600 * n)) {
      packets.push_back(Parse(d));
    }
  }
  int fragmented = 0;
  auto seen = test::DecodeAndRead(test::Depacketize(packets, &fragmented), 352, 288);
  EXPECT_GE(fragmented, 20);  // nearly every frame
  ASSERT_EQ(seen.size(), 25u);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].channel, "06");
    EXPECT_EQ(std::atoi(seen[i].counter.c_str()), static_cast<int>(i)) << seen[i].counter;
  }
}

// The busy scene moves and flickers in every frame, shows each channel another part of it,
// codes at camera sizes and keeps the digits readable.
TEST(DvrsimPackets, BusySceneChangesEveryFrameAndStaysReadable) {
  const Scene scene = Scene::ForPictures(352, 288);
  auto changed = [](const Picture& a, const Picture& b) {
    int n = 0;
    for (size_t i = 0; i < a.y.size(); ++i) n += a.y[i] != b.y[i];
    return static_cast<double>(n) / static_cast<double>(a.y.size());
  };
  const SceneView view = scene.ChannelView(1, 352, 288);
  Picture first = scene.Render(view, 0, 352, 288);
  EXPECT_GT(changed(first, scene.Render(view, 1, 352, 288)), 0.5);  // sensor noise
  EXPECT_GT(changed(first, scene.Render(scene.ChannelView(2, 352, 288), 0, 352, 288)), 0.9);
  // Movers: beyond the noise's few steps somewhere between frames 0 and 10.
  Picture later = scene.Render(view, 10, 352, 288);
  int moved = 0;
  for (size_t i = 0; i < first.y.size(); ++i) moved += std::abs(first.y[i] - later.y[i]) > 40;
  EXPECT_GT(moved, 200);

  auto frames = EncodeChannelLoop(352, 288, 3, 25, Backdrop::kBusyScene);
  RtpPacketizer packer(96, 1, 100);
  std::vector<test::RtpPacket> packets;
  size_t bytes = 0;
  for (size_t n = 0; n < frames.size(); ++n) {
    for (const auto& nal : frames[n].nals) bytes += nal.size();
    for (const auto& d : packer.PacketizeAccessUnit(frames[n].nals, 3600 * n)) {
      packets.push_back(Parse(d));
    }
  }
  EXPECT_GT(bytes / frames.size(), 2000u);  // a camera's CIF frames, not a still picture's
  auto seen = test::DecodeAndRead(test::Depacketize(packets, nullptr), 352, 288);
  ASSERT_EQ(seen.size(), 25u);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].channel, "03");
    EXPECT_EQ(std::atoi(seen[i].counter.c_str()), static_cast<int>(i)) << seen[i].counter;
  }
}

TEST(DvrsimPackets, SenderReportLayout) {
  auto sr = BuildSenderReport(0xA1B2C3D4, 0x0102030405060708ull, 90000, 10, 2000);
  std::vector<uint8_t> expect = {0x80, 200, 0, 6, 0xA1, 0xB2, 0xC3, 0xD4, 1, 2,  3, 4, 5,    6,
                                 7,    8,   0, 1, 0x5F, 0x90, 0,    0,    0, 10, 0, 0, 0x07, 0xD0};
  EXPECT_EQ(sr, expect);
}

TEST(DvrsimPackets, FaultSharesHoldOverManyPackets) {
  auto run = [](FaultShares shares) {
    FaultInjector f(shares, 42);
    std::vector<uint16_t> wire;
    for (uint16_t i = 0; i < 20000; ++i) {
      for (const auto& d : f.Apply(Datagram{static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)}))
        wire.push_back(static_cast<uint16_t>(d[0] << 8 | d[1]));
    }
    for (const auto& d : f.Flush()) wire.push_back(static_cast<uint16_t>(d[0] << 8 | d[1]));
    return wire;
  };
  EXPECT_NEAR(run({0.05, 0, 0}).size(), 19000, 200);
  EXPECT_NEAR(run({0, 0, 0.1}).size(), 22000, 250);
  auto reordered = run({0, 0.05, 0});
  ASSERT_EQ(reordered.size(), 20000u);  // nothing lost, nothing added
  int swaps = 0;
  for (size_t i = 1; i < reordered.size(); ++i) {
    if (reordered[i] < reordered[i - 1]) {
      ++swaps;
      EXPECT_EQ(reordered[i], reordered[i - 1] - 1);  // held back by exactly one packet
    }
  }
  EXPECT_NEAR(swaps, 20000 * 0.05 * 0.95, 150);
  EXPECT_EQ(run({0, 0, 0}).size(), 20000u);
}

TEST(DvrsimRequests, ParsesRequestsTargetsAndTransports) {
  auto r = ParseRtspRequest(
      "SETUP rtsp://10.0.0.1:554/4.live/trackID=1 RTSP/1.0\r\nCSeq: 3\r\n"
      "transport:  RTP/AVP;unicast;client_port=5000-5001 \r\nContent-Length: 0\r\n\r\n");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->method, "SETUP");
  EXPECT_EQ(r->Header("cseq"), "3");
  auto ports = ParseTransport(r->Header("transport"));
  ASSERT_TRUE(ports);
  EXPECT_EQ(ports->rtp, 5000);
  EXPECT_EQ(ports->rtcp, 5001);
  EXPECT_FALSE(ParseRtspRequest("PLAY rtsp://x/1.live\r\n\r\n"));  // no version
  EXPECT_FALSE(ParseRtspRequest("PLAY u RTSP/1.0\r\nContent-Length: -1\r\n\r\n"));
  EXPECT_FALSE(ParseRtspRequest("PLAY u RTSP/1.0\r\nContent-Length: 99999999\r\n\r\n"));
  EXPECT_FALSE(ParseRtspRequest("PLAY u RTSP/1.0\r\nno colon\r\n\r\n"));

  auto t = ParseRtspTarget("rtsp://h:554/4.live/trackID=1");
  EXPECT_EQ(t.channel, 4);
  EXPECT_EQ(t.control, "trackID=1");
  EXPECT_EQ(ParseRtspTarget("rtsp://h/7.live/").control, "");
  EXPECT_EQ(ParseRtspTarget("rtsp://h/7.live/").channel, 7);
  EXPECT_EQ(ParseRtspTarget("rtsp://h/7.livex").channel, 0);
  EXPECT_EQ(ParseRtspTarget("rtsp://h/x.live").channel, 0);
  EXPECT_EQ(ParseRtspTarget("rtsp://h/1_2_3_4_5_6_.avi").channel, 0);

  EXPECT_EQ(ParseTransport("RTP/AVP;unicast;client_port=6000")->rtcp, 6001);
  EXPECT_TRUE(ParseTransport("RTP/AVP/UDP;unicast;client_port=6000-6001"));
  EXPECT_FALSE(ParseTransport("RTP/AVP/TCP;unicast;interleaved=0-1"));
  EXPECT_FALSE(ParseTransport("RTP/AVP;unicast"));
  EXPECT_FALSE(ParseTransport("RTP/AVP;unicast;client_port=0-70000"));
}

TEST(DvrsimSdp, Base64AndParameterSets) {
  EXPECT_EQ(Base64({}), "");
  EXPECT_EQ(Base64({'M'}), "TQ==");
  EXPECT_EQ(Base64({'M', 'a'}), "TWE=");
  EXPECT_EQ(Base64({'M', 'a', 'n'}), "TWFu");
  ChannelLoop loop;
  loop.channel = 5;
  loop.sps = {0x67, 0x42, 0xC0, 0x1E};
  loop.pps = {0x68, 0xCE};
  std::string sdp = BuildLiveSdp(loop, "127.0.0.1", false, 1);
  EXPECT_NE(sdp.find("profile-level-id=42C01E;sprop-parameter-sets=Z0LAHg==,aM4=\r\n"),
            std::string::npos)
      << sdp;
  EXPECT_NE(sdp.find("a=control:trackID=1\r\n"), std::string::npos);
}

std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> v;
  for (auto& a : args) v.push_back(a.data());
  return v;
}

Options Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "dvrsim");
  auto v = Argv(args);
  return ParseOptions(static_cast<int>(v.size()), v.data());
}

std::string ParseError(std::vector<std::string> args) {
  try {
    Parse(std::move(args));
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

TEST(DvrsimOptions, ValuesAndClearErrors) {
  Options o = Parse({"--port", "8554", "--size=d1", "--loss", "0.05", "--silent-channel", "3",
                     "--silent-channel=4", "--close-after", "2.5", "--audio"});
  EXPECT_EQ(o.port, 8554);
  EXPECT_EQ(o.width, 720);
  EXPECT_EQ(o.height, 576);
  EXPECT_DOUBLE_EQ(o.faults.loss, 0.05);
  EXPECT_EQ(o.silentChannels, (std::set<int>{3, 4}));
  EXPECT_DOUBLE_EQ(o.closeAfterPlay, 2.5);
  EXPECT_TRUE(o.audio);
  EXPECT_EQ(ParseError({"--bogus"}), "unknown option \"--bogus\" (see --help)");
  EXPECT_EQ(ParseError({"stray"}), "unknown option \"stray\" (see --help)");
  EXPECT_EQ(ParseError({"--port"}), "--port needs a value (see --help)");
  EXPECT_EQ(ParseError({"--port", "70000"}),
            "--port needs a whole number from 0 to 65535, got \"70000\"");
  EXPECT_EQ(ParseError({"--loss", "1.5"}), "--loss needs a number from 0 to 1, got \"1.5\"");
  EXPECT_EQ(ParseError({"--loss", "nan"}), "--loss needs a number from 0 to 1, got \"nan\"");
  EXPECT_EQ(ParseError({"--close-after", "-1"}),
            "--close-after needs a number from 0 to 86400, got \"-1\"");
  EXPECT_NE(ParseError({"--size", "huge"}).find("cif"), std::string::npos);
  EXPECT_NE(ParseError({"--loop-frames", "30"}).find("multiple of 25"), std::string::npos);
  EXPECT_NE(ParseError({"--channels", "9"}).find("1 to 8"), std::string::npos);
}

// A stream buffer that another thread may read while the program writes.
class SharedText : public std::stringbuf {
 public:
  std::string Text() {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    return str();
  }

 protected:
  int sync() override { return 0; }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    return std::stringbuf::xsputn(s, n);
  }
  int_type overflow(int_type c) override {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    return std::stringbuf::overflow(c);
  }

 private:
  std::recursive_mutex mu_;  // xsputn may call overflow
};

int RunProgram(std::vector<std::string> args, std::string* out, std::string* err) {
  args.insert(args.begin(), "dvrsim");
  auto v = Argv(args);
  std::ostringstream o, e;
  std::atomic<bool> stop{true};
  int code = RunDvrsim(static_cast<int>(v.size()), v.data(), o, e, stop);
  *out = o.str();
  *err = e.str();
  return code;
}

TEST(DvrsimProgram, HelpAndBadCommandLines) {
  std::string out, err;
  EXPECT_EQ(RunProgram({"--help"}, &out, &err), 0);
  EXPECT_NE(out.find("Usage: dvrsim"), std::string::npos);
  EXPECT_NE(out.find("--silent-channel N"), std::string::npos);
  EXPECT_EQ(RunProgram({"--channels", "0"}, &out, &err), 2);
  EXPECT_EQ(err, "dvrsim: --channels needs a whole number from 1 to 8, got \"0\"\n");
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(RunProgram({"--bind", "not-an-address", "--channels", "1", "--loop-frames", "25"}, &out,
                       &err),
            1);
  EXPECT_NE(err.find("--bind needs a dotted IPv4 address"), std::string::npos) << err;
  EXPECT_EQ(RunProgram({"--scene", "fancy"}, &out, &err), 2);
  EXPECT_EQ(err, "dvrsim: --scene must be plain or busy, got \"fancy\"\n");
  EXPECT_EQ(RunProgram({"--source", "9=x.avi"}, &out, &err), 2);
  EXPECT_EQ(RunProgram({"--source", "/no/such/clip.avi", "--channels", "1"}, &out, &err), 1);
  EXPECT_NE(err.find("--source: no such file \"/no/such/clip.avi\""), std::string::npos) << err;
}

TEST(DvrsimProgram, PrintsTheReadyLineAndServesUntilStopped) {
  std::string args[] = {"dvrsim", "--port", "0", "--channels", "1", "--loop-frames", "25"};
  char* argv[7];
  for (int i = 0; i < 7; ++i) argv[i] = args[i].data();
  SharedText out;
  std::ostream outStream(&out);
  std::ostringstream err;
  std::atomic<bool> stop{false};
  int code = -1;
  std::thread program([&] { code = RunDvrsim(7, argv, outStream, err, stop); });
  std::string line;
  for (int i = 0; i < 200 && line.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::string text = out.Text();
    if (text.find('\n') != std::string::npos) line = text;
  }
  ASSERT_EQ(line.rfind("dvrsim ready on port ", 0), 0u) << line;
  int port = std::atoi(line.c_str() + 21);
  test::LiveSession live;
  EXPECT_EQ(live.Open(port, 1), "");
  EXPECT_FALSE(live.video.Receive(300).empty());
  stop = true;
  program.join();
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(live.rtsp.WaitClosed(1000));
}

}  // namespace
}  // namespace dvrsim
