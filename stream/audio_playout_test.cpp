#include "stream/audio_playout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/kernel/clock.h"
#include "platform/kernel/critical_section.h"
#include "stream/audio_ring.h"
#include "stream/playout_test_support.h"
#include "stream/test_session_run.h"
#include "voice/hi_voice.h"

namespace {

constexpr int kFrameSamples = 161;  // an IMA frame of 42 words
constexpr int kWaitMs = 5000;

uint32_t SystemTicks() { return GetTickCount(); }

// IMA (35) frames of a 440 Hz tone and the samples each one decodes to.
struct ToneFrames {
  explicit ToneFrames(int count) {
    uint8_t encoder[HI_VOICE_STATE_BYTES] = {};
    uint8_t decoder[HI_VOICE_STATE_BYTES] = {};
    HI_VOICE_EncReset(encoder, kAudioVoiceType);
    HI_VOICE_DecReset(decoder, kAudioVoiceType);
    for (int f = 0; f < count; ++f) {
      int16_t tone[kFrameSamples];
      for (int i = 0; i < kFrameSamples; ++i)
        tone[i] = static_cast<int16_t>(8000 * std::sin((f * kFrameSamples + i) * 0.3455));
      std::vector<uint8_t> frame(HI_VOICE_MAX_FRAME_BYTES);
      HI_VOICE_EncodeFrame(encoder, tone, frame.data(), kFrameSamples);
      frame.resize(4 + 2 * frame[2]);
      int16_t out[HI_VOICE_MAX_DECODE_SAMPLES];
      int32_t n = 0;
      HI_VOICE_DecodeFrame(decoder, frame.data(), out, &n);
      frames.push_back(frame);
      decoded.emplace_back(out, out + n);
    }
  }
  std::vector<std::vector<uint8_t>> frames;
  std::vector<std::vector<int16_t>> decoded;
};

// The samples of a WAV file's data chunk.
std::vector<int16_t> WavSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  for (size_t at = 12; at + 8 <= bytes.size();) {
    uint32_t size = 0;
    std::memcpy(&size, &bytes[at + 4], 4);
    if (std::memcmp(&bytes[at], "data", 4) == 0) {
      size = std::min<uint32_t>(size, static_cast<uint32_t>(bytes.size() - at - 8));
      std::vector<int16_t> samples(size / 2);
      std::memcpy(samples.data(), &bytes[at + 8], samples.size() * 2);
      return samples;
    }
    at += 8 + size;
  }
  return {};
}

class AudioPlayoutTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("audio_playout_" + std::to_string(std::random_device{}()) + "_" +
            std::to_string(GetTickCount()));
    std::filesystem::create_directories(dir_);
    wav_ = (dir_ / "out.wav").string();
  }
  void TearDown() override {
    unsetenv("ORVIX_WAVE_SINK");
    std::filesystem::remove_all(dir_);
  }
  void UseSink(const std::string& path) { setenv("ORVIX_WAVE_SINK", path.c_str(), 1); }

  std::filesystem::path dir_;
  std::string wav_;
};

void PutFrame(RtpFrameQueue* queue, uint16_t seq, uint32_t ts, const std::vector<uint8_t>& f) {
  Put(queue, RtpPacket(seq, ts, f));
}

// The RTP timestamp the queue plays at this moment.
uint32_t PlayingTimestamp(RtpFrameQueue* queue) {
  EnterCriticalSection(&queue->lock);
  uint32_t p = (GetTickCount() - queue->tickBase) * 8 + queue->timestampBase;
  LeaveCriticalSection(&queue->lock);
  return p;
}

void Append(std::vector<int16_t>* to, const std::vector<int16_t>& samples) {
  to->insert(to->end(), samples.begin(), samples.end());
}

TEST_F(AudioPlayoutTest, SilenceGoesBeforeTheFirstFrameAndAgainAfterTheDeviceRanDry) {
  UseSink(wav_);
  ToneFrames tone(40);
  PlayoutRun run(RunAudioPlayout, SystemTicks);
  // 30 frames, the 16th cut short of what its header announces.
  for (int i = 0; i < 30; ++i) {
    auto frame = tone.frames[i];
    if (i == 15) frame.resize(frame.size() - 8);
    PutFrame(&run.queue, static_cast<uint16_t>(i + 1), 161u * i, frame);
  }
  CapturedOutput captured;
  run.Start();
  ASSERT_TRUE(WaitFor([&] { return run.queue.Count() == 0; }, kWaitMs));
  Sleep(900);  // the device plays out and its headers are retired
  uint32_t ts = PlayingTimestamp(&run.queue);
  for (int i = 30; i < 40; ++i)
    PutFrame(&run.queue, static_cast<uint16_t>(i + 1), ts + 161u * (i - 30), tone.frames[i]);
  ASSERT_TRUE(WaitFor([&] { return run.queue.Count() == 0; }, kWaitMs));
  Sleep(700);
  run.Stop();
  std::string output = captured.Take();

  std::vector<int16_t> expected(kAudioPrimeBuffers * kFrameSamples, 0);
  for (int i = 0; i < 30; ++i)
    if (i != 15) Append(&expected, tone.decoded[i]);
  expected.insert(expected.end(), kAudioPrimeBuffers * kFrameSamples, 0);
  for (int i = 30; i < 40; ++i) Append(&expected, tone.decoded[i]);
  std::vector<int16_t> played = WavSamples(wav_);
  ASSERT_EQ(played.size(), expected.size());
  EXPECT_TRUE(played == expected);
  EXPECT_EQ(output.rfind("thread_audio_play start \n", 0), 0u) << output;
  EXPECT_EQ(output.find("Failed to play sound"), std::string::npos);
  EXPECT_EQ(output.find("audio last seq"), std::string::npos) << output;
}

TEST_F(AudioPlayoutTest, WithoutDeviceFramesAreDrainedAndIdlePrebuffersAgain) {
  UseSink((dir_ / "missing" / "out.wav").string());
  ToneFrames tone(1);
  PlayoutRun run(RunAudioPlayout);
  for (int i = 0; i < 10; ++i)
    PutFrame(&run.queue, static_cast<uint16_t>(i + 1), 400u * i, tone.frames[0]);
  PutFrame(&run.queue, 13, 4000, tone.frames[0]);  // 11 and 12 lost
  CapturedOutput captured;
  run.Start();
  ASSERT_TRUE(PlayOutDriven(&run.queue, kWaitMs));
  EXPECT_EQ(run.queue.clockRate, kAudioClockRate);

  uint32_t played = DrivenTicks();
  SetDrivenTicks(played + kPlayoutIdleMs + 1);
  ASSERT_TRUE(WaitFor(
      [&] {
        EnterCriticalSection(&run.queue.lock);
        bool anchored = run.queue.tickBase == DrivenTicks();
        LeaveCriticalSection(&run.queue.lock);
        return anchored;
      },
      kWaitMs));
  // Long overdue by the old clock, yet held until 400 ms are queued again.
  for (int i = 0; i < 9; ++i)
    PutFrame(&run.queue, static_cast<uint16_t>(14 + i), 8000u + 400u * i, tone.frames[0]);
  Sleep(100);
  EXPECT_EQ(run.queue.Count(), 9);
  PutFrame(&run.queue, 23, 8000u + 3200u, tone.frames[0]);
  EXPECT_TRUE(WaitFor([&] { return run.queue.Count() < 10; }, kWaitMs));
  run.Stop();
  std::string output = captured.Take();
  EXPECT_NE(output.find("thread_audio_play start \nwaveoutopen error\n"), std::string::npos)
      << output;
  EXPECT_NE(output.find("audio last seq = 10 got seq = 13 buff count =0 \n"), std::string::npos)
      << output;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
}

TEST_F(AudioPlayoutTest, RingFullDropsTheFrameAndKeepsWhatIsQueued) {
  UseSink(wav_);
  AudioRing ring;
  ASSERT_TRUE(ring.Open());
  std::vector<int16_t> frame(kFrameSamples, 1000);
  // 15 silent buffers and 15 frames fill the 30 headers long before the device plays them.
  for (int i = 0; i < kAudioRingHeaders - kAudioPrimeBuffers; ++i)
    ASSERT_TRUE(ring.Play(frame.data(), kFrameSamples)) << i;
  EXPECT_EQ(ring.Queued(), kAudioRingHeaders);
  std::vector<int16_t> late(kFrameSamples, -1000);
  EXPECT_FALSE(ring.Play(late.data(), kFrameSamples));
  EXPECT_EQ(ring.Queued(), kAudioRingHeaders);
  // Once the first header is done and retired its slot takes the next frame.
  ASSERT_TRUE(WaitFor(
      [&] {
        ring.RetireOne();
        return ring.Queued() < kAudioRingHeaders;
      },
      kWaitMs));
  EXPECT_TRUE(ring.Play(late.data(), kFrameSamples));
  ASSERT_TRUE(WaitFor(
      [&] {
        ring.RetireOne();
        return ring.Queued() == 0;
      },
      kWaitMs));
  ring.Close();
  std::vector<int16_t> played = WavSamples(wav_);
  ASSERT_EQ(played.size(), static_cast<size_t>(kAudioRingHeaders + 1) * kFrameSamples);
  EXPECT_EQ(std::count(played.begin(), played.end(), -1000), kFrameSamples);
  EXPECT_EQ(played.back(), -1000);
}

}  // namespace
