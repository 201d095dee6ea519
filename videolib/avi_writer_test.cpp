#include "videolib/avi_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/vfw/avi_probe.h"

namespace {

constexpr DWORD kYuy2 = mmioFOURCC('Y', 'U', 'Y', '2');
constexpr int kW = 64, kH = 48;
constexpr int64_t kMs = 10000;  // 100 ns units per millisecond

std::vector<uint8_t> Picture(int seed) {
  std::vector<uint8_t> p(kW * kH * 2);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i * 5 + seed * 17);
  return p;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v = 0;
  if (at + 4 <= b.size()) std::memcpy(&v, b.data() + at, 4);
  return v;
}

// The idx1 entries of a closed file as (chunk id, length), in file order.
std::vector<std::pair<std::string, uint32_t>> Index(const std::string& path) {
  const auto b = ReadAll(path);
  std::vector<std::pair<std::string, uint32_t>> out;
  for (size_t at = 12; at + 8 <= b.size(); at += 8 + ((Get32(b, at + 4) + 1) & ~1u)) {
    if (std::memcmp(b.data() + at, "idx1", 4) != 0) continue;
    for (size_t e = at + 8; e + 16 <= at + 8 + Get32(b, at + 4); e += 16) {
      out.emplace_back(std::string(reinterpret_cast<const char*>(b.data() + e), 4),
                       Get32(b, e + 12));
    }
  }
  return out;
}

// Video samples of the index as a pattern: 'F' a picture, 'E' an empty sample.
std::string VideoPattern(const std::string& path) {
  std::string s;
  for (const auto& [id, len] : Index(path)) {
    if (id == "00dc") s += len != 0 ? 'F' : 'E';
  }
  return s;
}

class AviWriter : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = avi_probe::TempDir();
    path_ = dir_ + "/rec.avi";
  }
  void TearDown() override { avi_probe::Run("rm -rf '" + dir_ + "'"); }

  // Writes pictures at the given times (ms) with the channel's 40 ms interval, then closes.
  std::string Record(const std::vector<int64_t>& times_ms, int64_t base = 0, int interval = 40) {
    CAviWriter w;
    CAviWriter::tagVideoStreamInfo v{kW, kH, 25, kYuy2};
    EXPECT_EQ(w.Open(path_.c_str(), &v, nullptr), 1);
    auto p = Picture(0);
    for (int64_t t : times_ms) {
      EXPECT_EQ(w.WriteVideo(p.data(), static_cast<long>(p.size()), base + t * kMs, interval),
                static_cast<long>(p.size()));
    }
    w.Close();
    return VideoPattern(path_);
  }

  std::string dir_, path_;
};

TEST_F(AviWriter, FfmpegReadsVideoAndAudioAsWritten) {
  CAviWriter w;
  EXPECT_EQ(w.GetSize(), -1);
  CAviWriter::tagVideoStreamInfo v{kW, kH, 25, kYuy2};
  CAviWriter::tagAudioStreamInfo a{{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0}, 1, 0};
  ASSERT_EQ(w.Open(path_.c_str(), &v, &a), 1);
  const auto first = Picture(1), second = Picture(2);
  const std::vector<uint8_t> sound(320, 0x80);
  EXPECT_EQ(w.WriteVideo(const_cast<uint8_t*>(first.data()), kW * kH * 2, 0, 40), kW * kH * 2);
  EXPECT_EQ(w.WriteAudio(const_cast<uint8_t*>(sound.data()), 320), 320);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(w.WriteVideo(const_cast<uint8_t*>(second.data()), kW * kH * 2, 0, 40), kW * kH * 2);
  }
  EXPECT_EQ(w.GetSize(), 5 * kW * kH * 2 + 320);
  w.Close();
  EXPECT_EQ(w.GetSize(), -1);

  const auto streams = avi_probe::Probe(path_);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].codec_type, "video");
  EXPECT_EQ(streams[0].codec_tag, "YUY2");
  EXPECT_EQ(streams[0].width, kW);
  EXPECT_EQ(streams[0].height, kH);
  EXPECT_EQ(streams[0].packets, 5);
  EXPECT_EQ(streams[1].codec_type, "audio");
  EXPECT_EQ(streams[1].sample_rate, 8000);
  EXPECT_EQ(avi_probe::FirstFrameYuy2(path_), first);
}

// The channel pipeline passes 0 as every time stamp: each picture is written once.
TEST_F(AviWriter, TimeStampsAlwaysZeroWriteEveryPictureOnce) {
  EXPECT_EQ(Record(std::vector<int64_t>(30, 0)), std::string(30, 'F'));
  EXPECT_EQ(avi_probe::Probe(path_)[0].packets, 30);
}

TEST_F(AviWriter, MissingFramesBecomeEmptySamples) {
  // 120 ms missing after the third picture: two empty samples.
  EXPECT_EQ(Record({0, 40, 80, 200, 240}), "FFFEEFF");
  // Players count the empty samples as frames (the stream's length and duration); the
  // demuxer hands out only the pictures.
  EXPECT_EQ(
      avi_probe::Run("ffprobe -v error -show_entries stream=nb_frames,duration -of csv=p=0 '" +
                     path_ + "'"),
      "0.280000,7\n");
  EXPECT_EQ(avi_probe::Probe(path_)[0].packets, 5);
  // A steady 25 frames a second over three seconds needs no filling.
  std::vector<int64_t> steady;
  for (int i = 0; i < 75; ++i) steady.push_back(i * 40);
  EXPECT_EQ(Record(steady), std::string(75, 'F'));
  // Ten pictures, then silence until 1.2 s: 21 gaps and the window's 5 more, cut to the rate.
  std::vector<int64_t> stall;
  for (int i = 0; i < 10; ++i) stall.push_back(i * 40);
  stall.push_back(1200);
  EXPECT_EQ(Record(stall), std::string(10, 'F') + std::string(24, 'E') + "F");
  // Half the frame rate: one empty sample between pictures; crossing the second at 1.04 s
  // the window's remainder adds one more.
  std::vector<int64_t> half;
  for (int i = 0; i <= 13; ++i) half.push_back(i * 80);
  std::string expect = "F";
  for (int i = 1; i < 13; ++i) expect += "EF";
  EXPECT_EQ(Record(half), expect + "EEF");
  const auto probe = avi_probe::Probe(path_);
  ASSERT_EQ(probe.size(), 1u);
  EXPECT_EQ(avi_probe::FirstFrameYuy2(path_), Picture(0));
}

// Real time stamps are large 64-bit values; only their low 32 bits are compared, and a low
// word that wraps between two pictures is still one frame interval.
TEST_F(AviWriter, LowWordWrapIsOneInterval) {
  const int64_t base = (int64_t{0x01DB} << 32) + 0x100000000 - 100 * kMs;
  std::vector<int64_t> times;
  for (int i = 0; i < 60; ++i) times.push_back(i * 40);
  EXPECT_EQ(Record(times, base), std::string(60, 'F'));
  // A time stamp that goes back adds nothing.
  EXPECT_EQ(Record({0, 40, 80, 20, 60}, base), "FFFFF");
}

TEST_F(AviWriter, IntervalOfOneOrLessWritesPicturesAsTheyCome) {
  for (int interval : {1, 0, -5}) {
    EXPECT_EQ(Record({0, 40, 500, 3000, 3040}, 0, interval), "FFFFF") << interval;
  }
}

TEST_F(AviWriter, SecondOpenFailsAndLeavesTheOpenFileAlone) {
  CAviWriter w;
  CAviWriter::tagVideoStreamInfo v{kW, kH, 25, kYuy2};
  ASSERT_EQ(w.Open(path_.c_str(), &v, nullptr), 1);
  auto p = Picture(3);
  for (int i = 0; i < 3; ++i) w.WriteVideo(p.data(), static_cast<long>(p.size()), 0, 40);
  const std::string other = dir_ + "/other.avi";
  EXPECT_EQ(w.Open(other.c_str(), &v, nullptr), 0);
  EXPECT_EQ(w.Open(path_.c_str(), &v, nullptr), 0);
  EXPECT_FALSE(std::filesystem::exists(other));
  for (int i = 0; i < 2; ++i) w.WriteVideo(p.data(), static_cast<long>(p.size()), 0, 40);
  EXPECT_EQ(w.GetSize(), 5 * kW * kH * 2);
  w.Close();
  EXPECT_EQ(VideoPattern(path_), "FFFFF");
}

TEST_F(AviWriter, FailuresAreReportedAndLeaveTheWriterUsable) {
  CAviWriter w;
  uint8_t b[4] = {};
  EXPECT_EQ(w.WriteVideo(b, 4, 0, 40), -1);
  EXPECT_EQ(w.WriteAudio(b, 4), -1);
  CAviWriter::tagVideoStreamInfo v{kW, kH, 25, kYuy2};
  EXPECT_EQ(w.Open((dir_ + "/no/such/dir.avi").c_str(), &v, nullptr), 0);
  CAviWriter::tagVideoStreamInfo empty{0, kH, 25, kYuy2};
  EXPECT_EQ(w.Open(path_.c_str(), &empty, nullptr), 0);
  EXPECT_EQ(w.GetSize(), -1);  // the file of the failed open was not kept open
  ASSERT_EQ(w.Open(path_.c_str(), &v, nullptr), 1);
  EXPECT_EQ(w.WriteAudio(b, 4), -1);
  EXPECT_EQ(w.WriteVideo(nullptr, 4, 0, 40), -3);
  EXPECT_EQ(w.WriteVideo(b, -1, 0, 40), -3);
  w.Close();
}

TEST_F(AviWriter, AdpcmAudioGetsItsSamplesPerBlock) {
  CAviWriter w;
  CAviWriter::tagAudioStreamInfo a{{WAVE_FORMAT_IMA_ADPCM, 1, 8000, 4055, 256, 4, 2}, 256, 0};
  ASSERT_EQ(w.Open(path_.c_str(), nullptr, &a), 1);
  std::vector<uint8_t> block(256, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w.WriteAudio(block.data(), 256), 256);
  w.Close();
  const auto b = ReadAll(path_);
  const std::string strf = "strf";
  const auto at = std::search(b.begin(), b.end(), strf.begin(), strf.end()) - b.begin();
  ASSERT_LT(static_cast<size_t>(at), b.size());
  EXPECT_EQ(Get32(b, at + 4), 20u);
  uint16_t tag = 0, per_block = 0;
  std::memcpy(&tag, b.data() + at + 8, 2);
  std::memcpy(&per_block, b.data() + at + 8 + 18, 2);
  EXPECT_EQ(tag, WAVE_FORMAT_IMA_ADPCM);
  EXPECT_EQ(per_block, 4055 / 4 / 256);
  const auto streams = avi_probe::Probe(path_);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].codec_type, "audio");
}

TEST_F(AviWriter, VideoAndAudioFromTwoThreads) {
  CAviWriter w;
  CAviWriter::tagVideoStreamInfo v{kW, kH, 25, kYuy2};
  CAviWriter::tagAudioStreamInfo a{{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0}, 1, 0};
  ASSERT_EQ(w.Open(path_.c_str(), &v, &a), 1);
  std::thread audio([&w] {
    std::vector<uint8_t> s(320, 0x80);
    for (int i = 0; i < 200; ++i) w.WriteAudio(s.data(), 320);
  });
  auto p = Picture(4);
  for (int i = 0; i < 200; ++i) w.WriteVideo(p.data(), static_cast<long>(p.size()), 0, 40);
  audio.join();
  EXPECT_EQ(w.GetSize(), 200 * (kW * kH * 2 + 320));
  w.Close();
  const auto streams = avi_probe::Probe(path_);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].packets, 200);
  EXPECT_EQ(streams[1].packets, 200);
}

// A recording stays readable when its writer is gone without closing: the file copied
// while it is written, and the file of a process killed while recording.
TEST_F(AviWriter, CopiedWhileOpenPlaysToTheLastPicture) {
  CAviWriter w;
  CAviWriter::tagVideoStreamInfo v{kW, kH, 25, kYuy2};
  ASSERT_EQ(w.Open(path_.c_str(), &v, nullptr), 1);
  auto p = Picture(5);
  for (int i = 0; i < 9; ++i) w.WriteVideo(p.data(), static_cast<long>(p.size()), 0, 40);
  const std::string copy = dir_ + "/copy.avi";
  std::filesystem::copy_file(path_, copy);
  const auto streams = avi_probe::Probe(copy);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].codec_tag, "YUY2");
  EXPECT_EQ(streams[0].packets, 9);
  EXPECT_EQ(avi_probe::FirstFrameYuy2(copy), p);
  w.Close();
}

TEST(AviCrashChild, RecordAndWaitToBeKilled) {
  const char* path = std::getenv("ORVIX_AVI_CRASH_FILE");
  if (path == nullptr) GTEST_SKIP() << "run by AviWriter.KilledRecorderLeavesAPlayableFile";
  static CAviWriter w;  // never closed: the process is killed while it records
  CAviWriter::tagVideoStreamInfo v{kW, kH, 25, kYuy2};
  ASSERT_EQ(w.Open(path, &v, nullptr), 1);
  auto p = Picture(6);
  for (int i = 0; i < 12; ++i) w.WriteVideo(p.data(), static_cast<long>(p.size()), 0, 40);
  std::ofstream(std::string(path) + ".ready") << "12\n";
  for (int i = 0; i < 3000; ++i) Sleep(10);
}

TEST_F(AviWriter, KilledRecorderLeavesAPlayableFile) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string pid = dir_ + "/pid";
  avi_probe::Run("ORVIX_AVI_CRASH_FILE='" + path_ + "' '" + self +
                 "' --gtest_filter=AviCrashChild.* >/dev/null 2>&1 & echo $! > '" + pid + "'");
  for (int i = 0; i < 1000 && !std::filesystem::exists(path_ + ".ready"); ++i) Sleep(10);
  ASSERT_TRUE(std::filesystem::exists(path_ + ".ready"));
  int status = 0;
  avi_probe::Run("kill -9 $(cat '" + pid + "')", &status);
  ASSERT_EQ(status, 0);
  for (int i = 0; i < 200; ++i) {
    if (avi_probe::Run("kill -0 $(cat '" + pid + "') 2>/dev/null || echo gone") == "gone\n") break;
    Sleep(10);
  }
  const auto streams = avi_probe::Probe(path_);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].codec_tag, "YUY2");
  EXPECT_EQ(streams[0].width, kW);
  EXPECT_EQ(streams[0].packets, 12);
  EXPECT_EQ(avi_probe::FirstFrameYuy2(path_), Picture(6));
}

}  // namespace
