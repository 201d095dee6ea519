#include "videolib/play_wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/vfw/avi_probe.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return b;
}

class PlayWave : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = avi_probe::TempDir();
    wav_ = dir_ + "/played.wav";
    setenv("ORVIX_WAVE_SINK", wav_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIX_WAVE_SINK");
    avi_probe::Run("rm -rf '" + dir_ + "'");
  }

  std::vector<uint8_t> Played() const {
    std::ifstream in(wav_, std::ios::binary);
    std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    if (file.size() <= 44) return {};
    return {file.begin() + 44, file.end()};
  }
  // Waits until the file holds at least `bytes` of sound; returns what it holds.
  std::vector<uint8_t> PlayedAtLeast(size_t bytes, int ms = 5000) const {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Played().size() < bytes && Clock::now() < end) Sleep(10);
    return Played();
  }
  // The priming reset takes a first block; returns how much of it was heard.
  size_t Prime(CPlayWave* wave) {
    const auto first = Pattern(800, 200);
    EXPECT_EQ(wave->Write(first.data(), 800), 1);
    Sleep(100);
    const auto heard = Played();
    EXPECT_LT(heard.size(), 800u);
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), first.begin()));
    return heard.size();
  }
  // Writes `block` until it is taken (the buffers come back a moment after they are heard).
  bool WriteWhenFree(CPlayWave* wave, const std::vector<uint8_t>& block) {
    for (int i = 0; i < 200; ++i) {
      if (wave->Write(block.data(), static_cast<int>(block.size()))) return true;
      Sleep(5);
    }
    return false;
  }

  std::string dir_, wav_;
};

TEST_F(PlayWave, FirstBlockIsCutByThePrimingReset) {
  CPlayWave wave;
  ASSERT_EQ(wave.Init(), 1);
  const auto first = Pattern(8800, 1), second = Pattern(1600, 2);
  EXPECT_EQ(wave.Write(first.data(), 8800), 1);
  Sleep(50);
  const size_t cut = Played().size();
  EXPECT_LT(cut, 8800u / 4);
  ASSERT_TRUE(WriteWhenFree(&wave, second));
  const auto heard = PlayedAtLeast(cut + 1600);
  ASSERT_EQ(heard.size(), cut + 1600);
  EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + cut, first.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), heard.begin() + cut));
  wave.Stop();
  const auto streams = avi_probe::Probe(wav_);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].sample_rate, 8000);
}

// 20,000 bytes: 8,800 bytes, then the 2,400 of the remainder taken from offset 8,800; the
// last 8,800 are dropped.
TEST_F(PlayWave, LongBlockQueuesTwoPiecesAndDropsTheRest) {
  CPlayWave wave;
  ASSERT_EQ(wave.Init(), 1);
  const size_t primed = Prime(&wave);
  const auto block = Pattern(20000, 3);
  ASSERT_TRUE(WriteWhenFree(&wave, block));
  const auto heard = PlayedAtLeast(primed + 11200);
  Sleep(100);
  ASSERT_EQ(Played().size(), primed + 11200);
  EXPECT_TRUE(std::equal(block.begin(), block.begin() + 11200, heard.begin() + primed));
}

TEST_F(PlayWave, BlocksAreDroppedWhileTwoBuffersPlay) {
  CPlayWave wave;
  ASSERT_EQ(wave.Init(), 1);
  const size_t primed = Prime(&wave);
  const auto a = Pattern(800, 10), b = Pattern(800, 20), c = Pattern(800, 30), d = Pattern(400, 40);
  ASSERT_TRUE(WriteWhenFree(&wave, a));
  EXPECT_EQ(wave.Write(b.data(), 800), 1);
  EXPECT_EQ(wave.Write(c.data(), 800), 0);
  EXPECT_EQ(wave.Write(c.data(), 1), 0);
  const auto start = Clock::now();
  // Once the two have played their 200 ms, their buffers are free again.
  ASSERT_TRUE(WriteWhenFree(&wave, d));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(80));
  const auto heard = PlayedAtLeast(primed + 2000);
  ASSERT_EQ(heard.size(), primed + 2000);
  std::vector<uint8_t> expect(heard.begin(), heard.begin() + primed);
  for (const auto* v : {&a, &b, &d}) expect.insert(expect.end(), v->begin(), v->end());
  EXPECT_EQ(heard, expect);
}

TEST_F(PlayWave, StopEndsPlaybackAtOnceAndCanBeRepeated) {
  CPlayWave wave;
  ASSERT_EQ(wave.Init(), 1);
  Prime(&wave);
  const auto long_block = Pattern(17600, 5);
  ASSERT_TRUE(WriteWhenFree(&wave, long_block));  // 2.2 seconds of sound queued
  const auto start = Clock::now();
  wave.Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  const size_t heard = Played().size();
  Sleep(50);
  EXPECT_EQ(Played().size(), heard);  // nothing plays after the stop
  wave.Stop();
  EXPECT_EQ(wave.Write(long_block.data(), 100), 0);
  // Opened again, it starts afresh with a priming reset.
  ASSERT_EQ(wave.Init(), 1);
  Prime(&wave);
}

TEST_F(PlayWave, WritersOnSeveralThreadsNeverMixBuffers) {
  CPlayWave wave;
  ASSERT_EQ(wave.Init(), 1);
  const size_t primed = Prime(&wave);
  std::atomic<int> queued{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < 3; ++w) {
    writers.emplace_back([&wave, &queued, w] {
      for (int i = 0; i < 40; ++i) {
        const std::vector<uint8_t> block(80, static_cast<uint8_t>(w * 40 + i + 1));
        queued += wave.Write(block.data(), 80);
        Sleep(4);
      }
    });
  }
  for (auto& t : writers) t.join();
  EXPECT_GT(queued.load(), 0);
  const auto heard = PlayedAtLeast(primed + static_cast<size_t>(queued.load()) * 80);
  ASSERT_EQ(heard.size(), primed + static_cast<size_t>(queued.load()) * 80);
  for (size_t at = primed; at < heard.size(); at += 80) {
    EXPECT_TRUE(std::all_of(heard.begin() + at, heard.begin() + at + 80, [&](uint8_t v) {
      return v == heard[at];
    })) << at;
  }
}

// With no sound device the output is silent: writes fail, stopping is clean.
TEST(PlayWaveNoDevice, WritesFailAndStopIsClean) {
  unsetenv("ORVIX_WAVE_SINK");
  setenv("ORVIX_ALSA_DEVICE", "orvix_no_such_pcm", 1);
  CPlayWave wave;
  EXPECT_EQ(wave.Init(), 0);
  const auto block = Pattern(1000, 1);
  EXPECT_EQ(wave.Write(block.data(), 1000), 0);
  EXPECT_EQ(wave.Write(nullptr, 10), 0);
  const auto start = Clock::now();
  wave.Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  unsetenv("ORVIX_ALSA_DEVICE");
}

}  // namespace
