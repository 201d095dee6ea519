// A live run against the DVR simulator with its audio track: the viewer's session plays the
// channel's voice through the wave output into a WAV file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "stream/audio_playout.h"
#include "stream/audio_ring.h"
#include "stream/playout_test_support.h"
#include "stream/test_session_run.h"
#include "stream/video_playout.h"
#include "tools/dvrsim/media.h"
#include "tools/dvrsim/rtsp_server.h"

namespace {

constexpr int kChannel = 3;
constexpr int kFrame = dvrsim::kVoiceFrameSamples;
constexpr size_t kLeadSamples = kAudioPrimeBuffers * kFrame;
constexpr size_t kToneSamples = 8000;  // one second measured

std::vector<int16_t> WavSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  if (bytes.size() < 44 || std::memcmp(bytes.data() + 36, "data", 4) != 0) return {};
  std::vector<int16_t> samples((bytes.size() - 44) / 2);
  std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}

// Power of `s` at `hz` (Goertzel), normalised by the length.
double Goertzel(const int16_t* s, size_t n, double hz) {
  double k = 2 * std::cos(2 * M_PI * hz / kAudioClockRate), a = 0, b = 0;
  for (size_t i = 0; i < n; ++i) {
    double c = s[i] + k * a - b;
    b = a, a = c;
  }
  return (a * a + b * b - k * a * b) / (static_cast<double>(n) * n);
}

double ZeroCrossingPitch(const int16_t* s, size_t n) {
  int crossings = 0;
  size_t first = 0, last = 0;
  for (size_t i = 1; i < n; ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      if (crossings++ == 0) first = i;
      last = i;
    }
  }
  return crossings < 2 ? 0 : (crossings - 1) * double{kAudioClockRate} / (last - first);
}

// The longest run of exact zeros in [from, to).
size_t LongestSilence(const std::vector<int16_t>& s, size_t from, size_t to) {
  size_t run = 0, longest = 0;
  for (size_t i = from; i < to; ++i) {
    run = s[i] == 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

class AudioLiveTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("audio_live_" + std::to_string(std::random_device{}()) + "_" +
            std::to_string(GetTickCount()));
    std::filesystem::create_directories(dir_);
    wav_ = (dir_ / "live.wav").string();
    setenv("ORVIX_WAVE_SINK", wav_.c_str(), 1);
    session_.channel = TestChannel();
    session_.channelNumber = kChannel;
  }
  void TearDown() override {
    if (session_.threadHandle) {
      session_.running = 0;
      WaitForSingleObject(session_.threadHandle, INFINITE);
      CloseHandle(session_.threadHandle);
    }
    unsetenv("ORVIX_WAVE_SINK");
    std::filesystem::remove_all(dir_);
  }
  size_t WavBytes() const {
    std::error_code error;
    auto size = std::filesystem::file_size(wav_, error);
    return error ? 0 : size;
  }

  std::filesystem::path dir_;
  std::string wav_;
  RtspSession session_{RecordingOptions({VideoPlayoutThread, AudioPlayoutThread})};
  UnitRecorder recorder_;
};

TEST_F(AudioLiveTest, TwoMediaSessionPlaysSilenceThenTheChannelsTone) {
  dvrsim::Options options;
  options.port = 0;
  options.channels = kChannel;
  options.loopFrames = 25;
  options.audio = true;
  dvrsim::RtspServer dvr(options, dvrsim::EncodeChannels(352, 288, kChannel, 25));
  dvr.Start();
  std::string url = "rtsp://127.0.0.1:" + std::to_string(dvr.port()) + "/3.live";
  CapturedOutput captured;
  ASSERT_EQ(StartRtspSession(url.c_str(), &session_), 0);
  // The lead-in, a second of tone and a little more; the sink writes in real time.
  const size_t wanted = 44 + 2 * (kLeadSamples + kToneSamples + 4 * kFrame);
  bool filled = WaitFor([&] { return WavBytes() >= wanted; }, 15000);
  session_.running = 0;
  WaitForSingleObject(session_.threadHandle, INFINITE);
  CloseHandle(session_.threadHandle);
  session_.threadHandle = nullptr;
  std::string output = captured.Take();
  ASSERT_TRUE(filled) << output;
  EXPECT_NE(output.find("thread_audio_play start \n"), std::string::npos) << output;
  EXPECT_EQ(output.find("waveoutopen error"), std::string::npos) << output;
  EXPECT_GT(recorder_.Count(), 10u);  // the video played beside it

  std::vector<int16_t> s = WavSamples(wav_);
  ASSERT_GE(s.size(), kLeadSamples + kToneSamples);
  // 15 silent buffers as long as a frame, about 300 ms, then the first frame's crest.
  size_t lead = 0;
  while (lead < s.size() && s[lead] == 0) ++lead;
  EXPECT_EQ(lead, kLeadSamples);
  EXPECT_NEAR(lead * 1000.0 / kAudioClockRate, 300, 3);
  EXPECT_GT(std::abs(s[kLeadSamples]), 4000);
  // A steady tone at the channel's pitch: no gap, no other channel's pitch.
  const int16_t* tone = s.data() + kLeadSamples;
  EXPECT_LT(LongestSilence(s, kLeadSamples, kLeadSamples + kToneSamples), 4u);
  double pitch = dvrsim::ChannelPitch(kChannel);
  EXPECT_NEAR(ZeroCrossingPitch(tone, kToneSamples), pitch, 2.0);
  double own = Goertzel(tone, kToneSamples, pitch);
  for (int other = 1; other <= 8; ++other) {
    if (other == kChannel) continue;
    EXPECT_GT(own, 100 * Goertzel(tone, kToneSamples, dvrsim::ChannelPitch(other))) << other;
  }
}

}  // namespace
