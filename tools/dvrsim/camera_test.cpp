// The cameras behind the command side, through raw datagrams on loopback and, for what they
// show, through a live session decoded as a viewer would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tools/dvrsim/camera_head.h"
#include "tools/dvrsim/camera_side.h"
#include "tools/dvrsim/command_side.h"
#include "tools/dvrsim/net_util.h"
#include "tools/dvrsim/picture_adjust.h"
#include "tools/dvrsim/rtsp_server.h"
#include "tools/dvrsim/test_client.h"

namespace dvrsim {
namespace {

constexpr int kW = 352, kH = 288;

uint32_t Loopback() { return htonl(0x7F000001); }

// Sends commands to the simulator and reads what comes back.
struct Desk {
  explicit Desk(int port) : to(port) { sock = BindUdp(Loopback(), &own); }
  ~Desk() { closesocket(sock); }
  void Send(int32_t code, std::vector<uint8_t> payload) {
    std::vector<uint8_t> d;
    for (int32_t w : {code, 1, 1, 1, static_cast<int32_t>(payload.size())}) {
      for (int i = 0; i < 4; ++i)
        d.push_back(static_cast<uint8_t>(static_cast<uint32_t>(w) >> 8 * i));
    }
    d.insert(d.end(), payload.begin(), payload.end());
    sockaddr_in a = MakeAddress(Loopback(), to);
    sendto(sock, reinterpret_cast<const char*>(d.data()), static_cast<int>(d.size()), 0,
           reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  // The payload of the next reply within `ms`, checked to carry `code`; empty for none.
  std::vector<uint8_t> Reply(int32_t code, int ms = 1000) {
    if (WaitReadable(&sock, 1, ms) == 0) return {};
    std::vector<uint8_t> b(2048);
    int n = recv(sock, reinterpret_cast<char*>(b.data()), static_cast<int>(b.size()), 0);
    EXPECT_GE(n, 20);
    if (n < 20) return {};
    EXPECT_EQ(b[0], code);
    EXPECT_EQ(b[16], n - 20);
    return std::vector<uint8_t>(b.begin() + 20, b.begin() + n);
  }
  std::vector<uint8_t> Ask(int32_t code, std::vector<uint8_t> payload) {
    Send(code, std::move(payload));
    return Reply(code);
  }
  SOCKET sock = INVALID_SOCKET;
  int own = 0, to = 0;
};

using Bytes = std::vector<uint8_t>;

TEST(DvrsimCamera, SettingsAreAnsweredKeptPerChannelAndRangesRefused) {
  Options o;
  o.channels = 4;
  CommandServer server("127.0.0.1", 0, o.channels, {}, 3, [](const std::string&) {});
  std::vector<ChannelLoop> noLoops;
  AttachCameras(server, o, noLoops);
  server.Start();
  Desk desk(server.port());

  // Serial settings: defaults, the viewer's "PELCO-P, address 5, speed 10, 9600 baud" for
  // channel 2, kept for channel 2 alone.
  EXPECT_EQ(desk.Ask(27, {0, 2, 0, 0, 0, 0}), (Bytes{0, 2, 0, 2, 32, 3}));
  EXPECT_EQ(desk.Ask(27, {1, 2, 1, 5, 10, 3}), (Bytes{1, 2, 1, 5, 10, 3}));
  EXPECT_EQ(desk.Ask(27, {0, 2, 0, 0, 0, 0}), (Bytes{0, 2, 1, 5, 10, 3}));
  EXPECT_EQ(desk.Ask(27, {0, 3, 0, 0, 0, 0}), (Bytes{0, 3, 0, 3, 32, 3}));
  // Out of range: refused, and answered with what holds, never with a confirmation.
  for (Bytes bad : {Bytes{1, 2, 2, 5, 10, 3}, Bytes{1, 2, 1, 0, 10, 3}, Bytes{1, 2, 1, 128, 10, 3},
                    Bytes{1, 2, 1, 5, 0, 3}, Bytes{1, 2, 1, 5, 64, 3}, Bytes{1, 2, 1, 5, 10, 0},
                    Bytes{1, 2, 1, 5, 10, 8}}) {
    EXPECT_EQ(desk.Ask(27, bad), (Bytes{0, 2, 1, 5, 10, 3})) << int(bad[2]) << " " << int(bad[3]);
  }
  EXPECT_EQ(desk.Ask(27, {1, 4, 0, 127, 63, 7}), (Bytes{1, 4, 0, 127, 63, 7}));

  // Image settings: channel index 1 is channel 2; a set is not answered, the next get says it.
  EXPECT_EQ(desk.Ask(56, {0, 1, 0, 0}), (Bytes{0, 1, 0, 0, 0, 100, 0, 128}));
  desk.Send(56, {1, 1, 0, 0, 0, 120, static_cast<uint8_t>(-60), 128});
  EXPECT_EQ(desk.Ask(56, {0, 1, 0, 0}), (Bytes{0, 1, 0, 0, 0, 120, 196, 128}));
  EXPECT_EQ(desk.Ask(56, {0, 0, 0, 0}), (Bytes{0, 0, 0, 0, 0, 100, 0, 128}));

  // Nothing to answer: actions, unknown channels, short or unknown requests.
  desk.Send(26, {3, 0, 1, 1});
  desk.Send(26, {19, 0, 1, 9});
  desk.Send(26, {3, 0});
  desk.Send(27, {0, 5, 0, 0, 0, 0});
  desk.Send(27, {0, 0, 0, 0, 0, 0});
  desk.Send(27, {1, 2, 1});
  desk.Send(27, {2, 2, 0, 0, 0, 0});
  desk.Send(56, {0, 4, 0, 0});
  desk.Send(56, {1, 0, 0, 0, 0, 120});
  desk.Send(56, {});
  EXPECT_TRUE(desk.Reply(0, 400).empty());
  EXPECT_EQ(desk.Ask(56, {0, 0, 0, 0}), (Bytes{0, 0, 0, 0, 0, 100, 0, 128}));
}

// The head's movement with a clock the test drives: speed, end stops, exact presets.
TEST(DvrsimCamera, HeadMovesWhileHeldStopsAtItsLimitsAndPresetsReturnExactly) {
  int sceneW = 0, sceneH = 0;
  Scene::CamerasGeometry(kW, kH, &sceneW, &sceneH);
  const SceneView home = Scene::CameraHome(2, kW, kH);
  CameraHead head(home, sceneW, sceneH, 2);
  auto t = CameraHead::Clock::now();
  using std::chrono::milliseconds;
  EXPECT_EQ(head.Shot(t).view.x, home.x);
  ASSERT_TRUE(head.SetPreset(1, t));
  head.Move(kPtzLeft, t);
  // Speed 32: 0.4875 picture widths a second.
  EXPECT_NEAR(head.Pose(t + milliseconds(500)).x, home.x + kW / 2.0 - 0.4875 * kW / 2, 0.01);
  head.Move(kPtzStop, t + milliseconds(500));
  EXPECT_EQ(head.Pose(t + milliseconds(3000)), head.Pose(t + milliseconds(500)));
  head.Move(kPtzLeftUp, t + milliseconds(3000));
  const SceneView corner = head.Shot(t + milliseconds(20000)).view;
  EXPECT_EQ(corner.x, 0);
  EXPECT_EQ(corner.y, 0);
  head.Move(kPtzZoomMinus, t + milliseconds(20000));
  EXPECT_EQ(head.Pose(t + milliseconds(40000)).zoom, CameraHead::kMinZoom);
  head.Move(kPtzFocusPlus, t + milliseconds(40000));
  EXPECT_EQ(head.Shot(t + milliseconds(40500)).blur, 2);
  EXPECT_TRUE(head.CallPreset(1, t + milliseconds(41000)));
  const CameraShot back = head.Shot(t + milliseconds(45000));
  EXPECT_EQ(back.view.x, home.x);
  EXPECT_EQ(back.view.y, home.y);
  EXPECT_EQ(back.view.width, kW);
  EXPECT_EQ(back.blur, 0);
  EXPECT_FALSE(head.CallPreset(2, t));
  EXPECT_FALSE(head.SetPreset(0, t));
  EXPECT_TRUE(head.DeletePreset(1));
  EXPECT_FALSE(head.CallPreset(1, t + milliseconds(46000)));
}

// Image settings on a flat picture: the hue turns the chroma, saturation scales it, contrast
// and luminance move luma and stop at the video range.
TEST(DvrsimCamera, ImageSettingsTurnScaleAndShiftThePicture) {
  auto flat = [] {
    Picture p;
    p.width = 4, p.height = 2;
    p.y.assign(8, 200), p.u.assign(2, 150), p.v.assign(2, 128);
    return p;
  };
  auto looked = [&](ImageLook look) {
    Picture p = flat();
    ApplyLook(p, look);
    return std::vector<int>{p.y[0], p.u[0], p.v[0]};
  };
  EXPECT_EQ(looked(ImageLook{}), (std::vector<int>{200, 150, 128}));
  EXPECT_EQ(looked(ImageLook{64, 100, 0, 128}),
            (std::vector<int>{200, 128, 150}));  // a quarter turn
  EXPECT_EQ(looked(ImageLook{128, 100, 0, 128}), (std::vector<int>{200, 106, 128}));  // half a turn
  EXPECT_EQ(looked(ImageLook{0, 100, 0, 0}), (std::vector<int>{200, 128, 128}));
  EXPECT_EQ(looked(ImageLook{0, 100, 0, 255}), (std::vector<int>{200, 171, 128}));
  EXPECT_EQ(looked(ImageLook{0, 0, 0, 128}), (std::vector<int>{128, 150, 128}));
  EXPECT_EQ(looked(ImageLook{0, 120, 60, 128}), (std::vector<int>{235, 150, 128}));
  EXPECT_EQ(looked(ImageLook{0, 100, -128, 128}), (std::vector<int>{72, 150, 128}));
  EXPECT_EQ(looked(ImageLook{0, 255, -128, 128}), (std::vector<int>{183, 150, 128}));
}

// The cameras' scene is the busy loops' scene with room around it: a camera at home shows what
// the loop showed, so a busy channel going live does not jump.
TEST(DvrsimCamera, CamerasSceneContinuesTheBusyLoopsScene) {
  const Scene loops = Scene::ForPictures(kW, kH), cameras = Scene::ForCameras(kW, kH);
  int sceneW = 0, sceneH = 0;
  Scene::CamerasGeometry(kW, kH, &sceneW, &sceneH);
  EXPECT_EQ(cameras.width(), sceneW);
  EXPECT_EQ(cameras.height(), sceneH);
  EXPECT_GE(cameras.margin(), kW / 2);
  for (int channel : {1, 6}) {
    const Picture a = loops.Render(loops.ChannelView(channel, kW, kH), 7, kW, kH);
    const Picture b = cameras.Render(Scene::CameraHome(channel, kW, kH), 7, kW, kH);
    const Picture c = cameras.Render(Scene::CameraHome(channel + 1, kW, kH), 7, kW, kH);
    long long same = 0, other = 0;
    for (size_t i = 0; i < a.y.size(); ++i) {
      same += std::abs(a.y[i] - b.y[i]);
      other += std::abs(a.y[i] - c.y[i]);
    }
    EXPECT_LT(same / static_cast<double>(a.y.size()), 3.0) << channel;  // sensor noise alone
    EXPECT_GT(other / static_cast<double>(a.y.size()), 10.0) << channel;
  }
}

// A live session on channel `channel` of a simulator with the command side on.
struct Camera {
  explicit Camera(int channels) {
    o.port = 0;
    o.channels = channels;
    o.loopFrames = 25;
    loops = EncodeChannels(kW, kH, channels, 25);
    side = StartCommandSide(o, loops, err);
    server = std::make_unique<RtspServer>(o, loops);
    server->Start();
  }
  ~Camera() { server->Stop(); }
  Options o;
  std::vector<ChannelLoop> loops;
  std::ostringstream err;
  std::unique_ptr<CommandServer> side;  // outlives the sessions that follow its cameras
  std::unique_ptr<RtspServer> server;
};

// Collects a session's packets phase after phase; each phase's last picture, decoded from
// the start of the stream.
struct Watch {
  test::LiveSession live;
  std::vector<test::RtpPacket> packets;
  Picture Collect(int ms) {
    auto got = live.video.Receive(ms);
    packets.insert(packets.end(), got.begin(), got.end());
    auto pictures = test::DecodePictures(test::Depacketize(packets, nullptr), kW, kH);
    return pictures.empty() ? Picture{} : pictures.back();
  }
};

// Mean absolute luma difference of the scene part (below the digits) of `a` and of `b`
// shifted right by `shift`.
double Difference(const Picture& a, const Picture& b, int shift) {
  long long sum = 0, n = 0;
  for (int y = 170; y < kH - 8; ++y) {
    for (int x = 8; x + shift < kW - 8; ++x) {
      sum += std::abs(a.y[y * kW + x] - b.y[y * kW + x + shift]);
      ++n;
    }
  }
  return static_cast<double>(sum) / std::max(1LL, n);
}

int BestShift(const Picture& a, const Picture& b) {
  int best = 0;
  for (int s = 1; s < 200; ++s) best = Difference(a, b, s) < Difference(a, b, best) ? s : best;
  return best;
}

// Mean step between neighbouring pixels below the digits: the loops' still gradient has
// almost none, the scene a camera looks at plenty.
double Texture(const Picture& p) {
  if (p.y.empty()) return 0;
  long long sum = 0;
  for (int y = 170; y < kH; ++y) {
    for (int x = 1; x < kW; ++x) sum += std::abs(p.y[y * kW + x] - p.y[y * kW + x - 1]);
  }
  return static_cast<double>(sum) / ((kH - 170) * (kW - 1));
}

// The first picture of the live camera, once the channel has gone live (its scene can take
// seconds on a loaded machine), and a moment more for the coder to settle.
Picture WaitLive(Watch& watch) {
  for (int i = 0; i < 50 && Texture(watch.Collect(200)) < 4; ++i) {
  }
  return watch.Collect(300);
}

double MeanLuma(const Picture& p) {
  long long sum = 0;
  for (int y = 170; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) sum += p.y[y * kW + x];
  }
  return static_cast<double>(sum) / ((kH - 170) * kW);
}

TEST(DvrsimCamera, HeldLeftPansThePictureAndThePresetBringsItBack) {
  Camera sim(1);
  ASSERT_NE(sim.side, nullptr);
  Watch watch;
  ASSERT_EQ(watch.live.Open(sim.server->port(), 1), "");
  Desk desk(sim.side->port());
  desk.Send(26, {17, 0, 1, 1});  // preset 1 here: the channel goes live
  const Picture home = WaitLive(watch);
  desk.Send(26, {3, 0, 1, 1});
  watch.Collect(700);
  desk.Send(26, {0, 0, 1, 1});
  const Picture panned = watch.Collect(500);
  desk.Send(26, {19, 0, 1, 1});
  const Picture back = watch.Collect(600);
  ASSERT_FALSE(home.y.empty());
  ASSERT_FALSE(panned.y.empty());
  ASSERT_FALSE(back.y.empty());
  // Turned left, the scene moved right in the picture: 0.7 s or more at 171 pixels a second,
  // up to the head's end stop 192 pixels away.
  const int shift = BestShift(home, panned);
  EXPECT_GT(shift, 100);
  EXPECT_LT(Difference(home, panned, shift), Difference(home, panned, 0) / 2);
  // Back at the preset: the same view, apart from noise and what moves in the scene.
  EXPECT_EQ(BestShift(home, back), 0);
  EXPECT_LT(Difference(home, back, 0), Difference(home, panned, 0) / 2);
}

TEST(DvrsimCamera, BrightRaisesTheLuminanceForEveryViewerAndDefaultRestoresIt) {
  Camera sim(2);
  ASSERT_NE(sim.side, nullptr);
  Watch first, second;
  ASSERT_EQ(first.live.Open(sim.server->port(), 2), "");
  Desk desk(sim.side->port());
  desk.Send(56, {1, 1, 0, 0, 0, 100, 0, 128});  // "default": live, looking as before
  const Picture plain = WaitLive(first);
  desk.Send(56, {1, 1, 0, 0, 0, 120, 60, 128});  // "bright"
  first.Collect(400);
  ASSERT_EQ(second.live.Open(sim.server->port(), 2), "");
  const Picture bright = first.Collect(600);
  const Picture brightToo = second.Collect(100);
  desk.Send(56, {1, 1, 0, 0, 0, 100, 0, 128});
  const Picture restored = first.Collect(600);
  EXPECT_GT(MeanLuma(bright), MeanLuma(plain) + 40);
  EXPECT_GT(MeanLuma(brightToo), MeanLuma(plain) + 40);
  EXPECT_NEAR(MeanLuma(restored), MeanLuma(plain), 3);
  // One coder for both: the second viewer joined the first one's sequence where it was (a
  // coder of its own would have started at 0), decodable from its first picture on and with
  // no picture left out.
  auto two = test::DecodeAndRead(test::Depacketize(second.packets, nullptr), kW, kH);
  ASSERT_GE(two.size(), 10u);
  const int joined = std::atoi(two.front().counter.c_str());
  EXPECT_GE(joined, 5);
  for (size_t i = 1; i < two.size(); ++i) {
    EXPECT_EQ(std::atoi(two[i].counter.c_str()), std::atoi(two[i - 1].counter.c_str()) + 1) << i;
  }
}

}  // namespace
}  // namespace dvrsim
