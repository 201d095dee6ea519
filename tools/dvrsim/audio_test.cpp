// The simulator's audio track against the tests' own client: real voice frames, paced with
// the video, at the channel's pitch.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <thread>

#include "tools/dvrsim/media.h"
#include "tools/dvrsim/rtsp_server.h"
#include "tools/dvrsim/test_client.h"
#include "voice/hi_voice.h"

namespace dvrsim {
namespace {

using test::Reply;
using test::RtpPacket;

const std::vector<ChannelLoop>& AudioLoops() {
  static const std::vector<ChannelLoop> loops = EncodeChannels(352, 288, 3, 25);
  return loops;
}

Options AudioOptions() {
  Options o;
  o.port = 0;
  o.channels = 3;
  o.loopFrames = 25;
  o.audio = true;
  return o;
}

// A session of one channel with both tracks set up and playing.
struct TwoTrackSession {
  test::RtspClient rtsp;
  test::UdpPair video, audio;

  std::string Open(int port, int channel) {
    if (!rtsp.Connect(port)) return "no connection";
    std::string url =
        "rtsp://127.0.0.1:" + std::to_string(port) + "/" + std::to_string(channel) + ".live";
    if (rtsp.Request("DESCRIBE", url).code != 200) return "DESCRIBE failed";
    Reply v = rtsp.Request("SETUP", url + "/" + kVideoControl, Transport(video));
    if (v.code != 200) return "video SETUP answered " + std::to_string(v.code);
    std::string session = "Session: " + v.Header("session") + "\r\n";
    Reply a = rtsp.Request("SETUP", url + "/" + kAudioControl, Transport(audio) + session);
    if (a.code != 200) return "audio SETUP answered " + std::to_string(a.code);
    if (rtsp.Request("PLAY", url + "/", session).code != 200) return "PLAY failed";
    return "";
  }

  static std::string Transport(const test::UdpPair& p) {
    return "Transport: RTP/AVP;unicast;client_port=" + std::to_string(p.rtpPort) + "-" +
           std::to_string(p.rtcpPort) + "\r\n";
  }
};

// Decodes the payloads in order with one decoder, as the viewer does; frames that fail add
// nothing and are counted in `failed`.
std::vector<int16_t> DecodeVoice(const std::vector<RtpPacket>& packets, int* failed) {
  uint8_t state[HI_VOICE_STATE_BYTES] = {};
  HI_VOICE_DecReset(state, HI_VOICE_IMA_ADPCM);
  std::vector<int16_t> all;
  *failed = 0;
  for (const auto& p : packets) {
    int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
    int32_t count = 0;
    if (p.payload.size() < 4 || p.payload.size() != 4u + 2u * p.payload[2] ||
        HI_VOICE_DecodeFrame(state, p.payload.data(), samples, &count) != 0 ||
        count != kVoiceFrameSamples) {
      ++*failed;
      continue;
    }
    all.insert(all.end(), samples, samples + count);
  }
  return all;
}

// The frequency of a tone from its upward zero crossings.
double ZeroCrossingPitch(const std::vector<int16_t>& s) {
  int crossings = 0, first = -1, last = -1;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      if (first < 0) first = static_cast<int>(i);
      last = static_cast<int>(i);
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) * static_cast<double>(kAudioClock) / (last - first);
}

TEST(DvrsimAudio, SendsVoiceFramesAtTheChannelsPitchBesideTheVideo) {
  RtspServer server(AudioOptions(), AudioLoops());
  server.Start();
  for (int channel : {1, 3}) {
    TwoTrackSession s;
    ASSERT_EQ(s.Open(server.port(), channel), "");
    std::vector<RtpPacket> video;
    std::thread t([&] { video = s.video.Receive(1500); });
    auto voice = s.audio.Receive(1500);
    t.join();
    EXPECT_GT(video.size(), 30u);
    // One frame every 20.125 ms, numbered and stamped on without gaps.
    ASSERT_GE(voice.size(), 65u);
    EXPECT_LE(voice.size(), 80u);
    for (size_t i = 1; i < voice.size(); ++i) {
      EXPECT_EQ(voice[i].seq, static_cast<uint16_t>(voice[i - 1].seq + 1));
      EXPECT_EQ(voice[i].timestamp - voice[i - 1].timestamp,
                static_cast<uint32_t>(kVoiceFrameSamples));
    }
    EXPECT_EQ(voice[0].payloadType, kAudioPayloadType);
    EXPECT_TRUE(voice[0].marker);
    EXPECT_NE(voice[0].ssrc, video[0].ssrc);
    EXPECT_EQ(voice[0].payload.size(), 88u);  // 4 + 2 * 42 bytes
    int failed = 0;
    auto samples = DecodeVoice(voice, &failed);
    EXPECT_EQ(failed, 0);
    EXPECT_NEAR(ZeroCrossingPitch(samples), ChannelPitch(channel), 2.0) << "channel " << channel;
    // Sender reports on the audio's RTCP port carry its own SSRC.
    bool audioReport = false;
    for (const auto& r : s.audio.rtcp) audioReport |= r.size() >= 8 && r[1] == 200;
    EXPECT_TRUE(audioReport);
  }
}

TEST(DvrsimAudio, FaultSwitchesReachTheAudioToo) {
  Options o = AudioOptions();
  o.faults = FaultShares{0.2, 0, 0.1};
  o.silentChannels = {2};
  RtspServer server(o, AudioLoops());
  server.Start();
  TwoTrackSession lossy, quiet;
  ASSERT_EQ(lossy.Open(server.port(), 1), "");
  ASSERT_EQ(quiet.Open(server.port(), 2), "");
  std::vector<RtpPacket> silent;
  std::thread t([&] { silent = quiet.audio.Receive(1500); });
  auto voice = lossy.audio.Receive(1500);
  t.join();
  EXPECT_TRUE(silent.empty());
  ASSERT_GT(voice.size(), 30u);
  std::set<uint16_t> seqs;
  int duplicates = 0;
  for (const auto& p : voice) duplicates += !seqs.insert(p.seq).second;
  int missing =
      static_cast<uint16_t>(*seqs.rbegin() - *seqs.begin()) + 1 - static_cast<int>(seqs.size());
  EXPECT_GT(missing, 0);
  EXPECT_GT(duplicates, 0);
}

}  // namespace
}  // namespace dvrsim
