#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/vfw/avi_format.h"
#include "platform/vfw/avi_probe.h"
#include "platform/vfw/vfw.h"

namespace {

constexpr int kW = 32, kH = 16;

struct Bih {  // BITMAPINFOHEADER as the 'strf' of a YUY2 stream
  uint32_t size = 40;
  int32_t width = kW, height = kH;
  uint16_t planes = 1, bits = 16;
  uint32_t compression = mmioFOURCC('Y', 'U', 'Y', '2');
  uint32_t image = kW * kH * 2;
  int32_t xppm = 0, yppm = 0;
  uint32_t used = 0, important = 0;
};
static_assert(sizeof(Bih) == 40);

std::vector<uint8_t> Picture(int seed) {
  std::vector<uint8_t> p(kW * kH * 2);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i * 7 + seed * 31);
  return p;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class AviFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = avi_probe::TempDir();
    path_ = dir_ + "/out.avi";
  }
  void TearDown() override { avi_probe::Run("rm -rf '" + dir_ + "'"); }

  PAVISTREAM AddVideo(PAVIFILE f) {
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = mmioFOURCC('Y', 'U', 'Y', '2');
    info.dwScale = 1;
    info.dwRate = 25;
    info.rcFrame = {0, 0, kW, kH};
    PAVISTREAM s = nullptr;
    EXPECT_EQ(AVIFileCreateStreamA(f, &s, &info), AVIERR_OK);
    const Bih bih;
    EXPECT_EQ(AVIStreamSetFormat(s, 0, &bih, sizeof bih), AVIERR_OK);
    return s;
  }

  PAVISTREAM AddAudio(PAVIFILE f) {
    AVISTREAMINFOA info{};
    info.fccType = streamtypeAUDIO;
    info.dwScale = 1;
    info.dwRate = 8000;
    info.dwSampleSize = 1;
    PAVISTREAM s = nullptr;
    EXPECT_EQ(AVIFileCreateStreamA(f, &s, &info), AVIERR_OK);
    const uint8_t wfx[18] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0};
    EXPECT_EQ(AVIStreamSetFormat(s, 0, wfx, sizeof wfx), AVIERR_OK);
    return s;
  }

  std::string dir_, path_;
};

TEST_F(AviFile, VideoAndAudioReadBackByFfmpeg) {
  PAVIFILE f = nullptr;
  ASSERT_EQ(AVIFileOpenA(&f, path_.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  PAVISTREAM v = AddVideo(f), a = AddAudio(f);
  const std::vector<uint8_t> first = Picture(1);
  LONG samples = 0, bytes = 0;
  ASSERT_EQ(AVIStreamWrite(v, 0, 1, first.data(), static_cast<LONG>(first.size()), AVIIF_KEYFRAME,
                           &samples, &bytes),
            AVIERR_OK);
  EXPECT_EQ(samples, 1);
  EXPECT_EQ(bytes, static_cast<LONG>(first.size()));
  ASSERT_EQ(AVIStreamWrite(v, 1, 1, first.data(), 0, 0, nullptr, nullptr), AVIERR_OK);  // empty
  const std::vector<uint8_t> sound(801, 0x80);  // odd size: padded chunk
  ASSERT_EQ(AVIStreamWrite(a, 0, 801, sound.data(), 801, AVIIF_KEYFRAME, &samples, nullptr),
            AVIERR_OK);
  EXPECT_EQ(samples, 801);
  for (int i = 2; i < 5; ++i) {
    const auto p = Picture(i);
    ASSERT_EQ(AVIStreamWrite(v, i, 1, p.data(), static_cast<LONG>(p.size()), AVIIF_KEYFRAME,
                             nullptr, nullptr),
              AVIERR_OK);
  }
  // A stream cannot be added once samples are in the file.
  AVISTREAMINFOA late{};
  late.fccType = streamtypeVIDEO;
  PAVISTREAM none = nullptr;
  EXPECT_EQ(AVIFileCreateStreamA(f, &none, &late), AVIERR_UNSUPPORTED);
  AVIStreamRelease(v);
  AVIStreamRelease(a);
  EXPECT_EQ(AVIFileRelease(f), 0u);

  const auto streams = avi_probe::Probe(path_);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].codec_type, "video");
  EXPECT_EQ(streams[0].codec_tag, "YUY2");
  EXPECT_EQ(streams[0].width, kW);
  EXPECT_EQ(streams[0].height, kH);
  EXPECT_EQ(streams[1].codec_type, "audio");
  EXPECT_EQ(streams[1].sample_rate, 8000);
  EXPECT_EQ(avi_probe::FirstFrameYuy2(path_), first);

  // The layout itself: RIFF size covers the file, idx1 lists every chunk, empty one included.
  const auto bytes_on_disk = ReadAll(path_);
  uint32_t riff_size;
  std::memcpy(&riff_size, bytes_on_disk.data() + 4, 4);
  EXPECT_EQ(riff_size + 8, bytes_on_disk.size());
  const size_t idx = bytes_on_disk.size() - 6 * 16 - 8;
  uint32_t id, size;
  std::memcpy(&id, bytes_on_disk.data() + idx, 4);
  std::memcpy(&size, bytes_on_disk.data() + idx + 4, 4);
  EXPECT_EQ(id, avi::kIdx1);
  EXPECT_EQ(size, 6u * 16);
  avi::AVIINDEXENTRY e[6];
  std::memcpy(e, bytes_on_disk.data() + idx + 8, sizeof e);
  EXPECT_EQ(e[1].ckid, avi::FourCC('0', '0', 'd', 'c'));
  EXPECT_EQ(e[1].dwChunkLength, 0u);
  EXPECT_EQ(e[2].ckid, avi::FourCC('0', '1', 'w', 'b'));
  EXPECT_EQ(e[2].dwChunkLength, 801u);
}

// A file that was never closed (the process died) still plays up to its last whole frame.
TEST_F(AviFile, UnclosedFileIsPlayableUpToLastSample) {
  PAVIFILE f = nullptr;
  ASSERT_EQ(AVIFileOpenA(&f, path_.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  PAVISTREAM v = AddVideo(f);
  const auto p = Picture(3);
  for (int i = 0; i < 7; ++i) {
    ASSERT_EQ(AVIStreamWrite(v, i, 1, p.data(), static_cast<LONG>(p.size()), AVIIF_KEYFRAME,
                             nullptr, nullptr),
              AVIERR_OK);
  }
  const std::string copy = path_ + ".crash.avi";
  avi_probe::Run("cp '" + path_ + "' '" + copy + "'");
  // Half a frame more, as a crash in the middle of a write would leave it.
  avi_probe::Run("head -c " + std::to_string(p.size() / 2) + " /dev/zero >> '" + copy + "'");
  const auto streams = avi_probe::Probe(copy);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].packets, 7);
  EXPECT_EQ(avi_probe::FirstFrameYuy2(copy), p);
  AVIStreamRelease(v);
  AVIFileRelease(f);
  EXPECT_EQ(avi_probe::Probe(path_)[0].packets, 7);
}

// Every frame of a many-RIFF file as ffmpeg decodes it, as raw YUY2, in order.
std::vector<uint8_t> AllFramesYuy2(const std::string& path) {
  const std::string out = avi_probe::Run("ffmpeg -v error -i '" + path +
                                         "' -f rawvideo -pix_fmt yuyv422 - 2>/dev/null");
  return {out.begin(), out.end()};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

class AviFileOpenDml : public AviFile {
 protected:
  void SetUp() override {
    AviFile::SetUp();
    AVIFileSetRiffLimit(64 * 1024);  // a RIFF per some 60 frames of 1 KiB
  }
  void TearDown() override {
    AVIFileSetRiffLimit(0);
    AviFile::TearDown();
  }
  // Writes `frames` pictures (Picture(i)) with a block of sound after every fifth.
  void Write(PAVIFILE f, PAVISTREAM v, PAVISTREAM a, int frames) {
    const std::vector<uint8_t> sound(401, 0x80);
    for (int i = 0; i < frames; ++i) {
      const auto p = Picture(i);
      ASSERT_EQ(AVIStreamWrite(v, i, 1, p.data(), static_cast<LONG>(p.size()),
                               i % 10 == 0 ? AVIIF_KEYFRAME : 0, nullptr, nullptr),
                AVIERR_OK);
      if (a != nullptr && i % 5 == 4) {
        ASSERT_EQ(AVIStreamWrite(a, 0, 401, sound.data(), 401, AVIIF_KEYFRAME, nullptr, nullptr),
                  AVIERR_OK);
      }
    }
    (void)f;
  }
};

TEST_F(AviFileOpenDml, PastTheRiffLimitTheFileGoesOnAsOpenDml) {
  PAVIFILE f = nullptr;
  ASSERT_EQ(AVIFileOpenA(&f, path_.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  PAVISTREAM v = AddVideo(f), a = AddAudio(f);
  constexpr int kFrames = 400;
  Write(f, v, a, kFrames);
  AVIStreamRelease(v);
  AVIStreamRelease(a);
  EXPECT_EQ(AVIFileRelease(f), 0u);

  const auto streams = avi_probe::Probe(path_);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].packets, kFrames);
  EXPECT_EQ(streams[1].packets, kFrames / 5);
  std::vector<uint8_t> expected;
  for (int i = 0; i < kFrames; ++i) {
    const auto p = Picture(i);
    expected.insert(expected.end(), p.begin(), p.end());
  }
  EXPECT_TRUE(AllFramesYuy2(path_) == expected) << "frames lost, doubled or out of order";

  // The layout: RIFFs that tile the file, each within the limit, 'AVIX' after the first; an
  // 'indx' per stream with an entry per RIFF; the whole frame count in 'dmlh'.
  const auto b = ReadAll(path_);
  size_t at = 0;
  int riffs = 0;
  while (at + 12 <= b.size()) {
    ASSERT_EQ(Le32(b, at), avi::kRiff) << "at " << at;
    EXPECT_EQ(Le32(b, at + 8), riffs == 0 ? avi::kAvi : avi::kAvix);
    const uint32_t size = Le32(b, at + 4);
    EXPECT_LE(size + 8, 64u * 1024);
    at += 8 + size;
    ++riffs;
  }
  EXPECT_EQ(at, b.size());
  EXPECT_GE(riffs, 5);
  const auto indx = std::search(b.begin(), b.end(), std::begin("indx"), std::end("indx") - 1);
  ASSERT_NE(indx, b.end());
  avi::SuperIndexHeader h;
  std::memcpy(&h, &*indx + 8, sizeof h);
  EXPECT_EQ(h.nEntriesInUse, static_cast<uint32_t>(riffs));
  EXPECT_EQ(h.bIndexType, avi::kIndexOfIndexes);
  uint32_t indexed = 0;
  for (uint32_t k = 0; k < h.nEntriesInUse; ++k) {
    avi::SuperIndexEntry e;
    std::memcpy(&e, &*indx + 8 + sizeof h + k * sizeof e, sizeof e);
    EXPECT_EQ(Le32(b, e.qwOffset), avi::FourCC('i', 'x', '0', '0'));
    indexed += e.dwDuration;
  }
  EXPECT_EQ(indexed, static_cast<uint32_t>(kFrames));
  const auto dmlh = std::search(b.begin(), b.end(), std::begin("dmlh"), std::end("dmlh") - 1);
  ASSERT_NE(dmlh, b.end());
  EXPECT_EQ(Le32(b, static_cast<size_t>(dmlh - b.begin()) + 8), static_cast<uint32_t>(kFrames));
}

// A copy taken at any moment (here: inside a later RIFF, with half a chunk more) plays up to
// its last whole frame.
TEST_F(AviFileOpenDml, UnclosedManyRiffFileIsPlayableUpToLastSample) {
  PAVIFILE f = nullptr;
  ASSERT_EQ(AVIFileOpenA(&f, path_.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  PAVISTREAM v = AddVideo(f);
  for (int frames : {30, 150, 251}) {
    SCOPED_TRACE(frames);
    Write(f, v, nullptr, frames - (frames == 30 ? 0 : frames == 150 ? 30 : 150));
    const std::string copy = path_ + "." + std::to_string(frames) + ".avi";
    avi_probe::Run("cp '" + path_ + "' '" + copy + "'");
    avi_probe::Run("head -c 700 /dev/urandom >> '" + copy + "'");
    const auto streams = avi_probe::Probe(copy);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].packets, frames);
  }
  AVIStreamRelease(v);
  AVIFileRelease(f);
}

// The real thing: a writer process killed with SIGKILL at a moment of the test's choosing, in
// the first RIFF and in later ones.
TEST_F(AviFileOpenDml, RecordingKilledAtAnyMomentPlaysUpToItsLastWholeFrame) {
  for (int kill_after : {17, 64, 133, 260}) {
    SCOPED_TRACE(kill_after);
    const std::string path = path_ + "." + std::to_string(kill_after) + ".avi";
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipe_fds[0]);
      PAVIFILE f = nullptr;
      if (AVIFileOpenA(&f, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != AVIERR_OK) _exit(1);
      PAVISTREAM v = AddVideo(f);
      for (int i = 0;; ++i) {
        const auto p = Picture(i);
        if (AVIStreamWrite(v, i, 1, p.data(), static_cast<LONG>(p.size()), AVIIF_KEYFRAME, nullptr,
                           nullptr) != AVIERR_OK)
          _exit(2);
        const int done = i + 1;
        if (write(pipe_fds[1], &done, sizeof done) != sizeof done) _exit(3);
      }
    }
    close(pipe_fds[1]);
    int done = 0;
    while (done < kill_after && read(pipe_fds[0], &done, sizeof done) == sizeof done) {
    }
    kill(child, SIGKILL);
    // Whatever was reported before the kill is whole; at most the one after it may be too.
    int later = done;
    while (read(pipe_fds[0], &later, sizeof later) == sizeof later) {
    }
    close(pipe_fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const auto streams = avi_probe::Probe(path);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_GE(streams[0].packets, done);
    EXPECT_LE(streams[0].packets, later + 1);
    const std::vector<uint8_t> all = AllFramesYuy2(path);
    ASSERT_GE(all.size(), static_cast<size_t>(done) * kW * kH * 2);
    const auto last = Picture(done - 1);
    EXPECT_TRUE(std::equal(last.begin(), last.end(), all.begin() + (done - 1) * kW * kH * 2));
  }
}

// By hand only (it writes some 4.5 GB): a D1 YUY2 recording past 4 GiB with the default
// RIFF limit. --gtest_also_run_disabled_tests runs it.
TEST(AviFileLarge, DISABLED_RecordingBeyondFourGiB) {
  AVIFileSetRiffLimit(0);
  const std::string dir = avi_probe::TempDir();
  const std::string path = dir + "/large.avi";
  constexpr int kD1W = 720, kD1H = 576, kFrames = 5400;
  PAVIFILE f = nullptr;
  ASSERT_EQ(AVIFileOpenA(&f, path.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = mmioFOURCC('Y', 'U', 'Y', '2');
  info.dwScale = 1;
  info.dwRate = 25;
  info.rcFrame = {0, 0, kD1W, kD1H};
  PAVISTREAM v = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(f, &v, &info), AVIERR_OK);
  Bih bih;
  bih.width = kD1W;
  bih.height = kD1H;
  bih.image = kD1W * kD1H * 2;
  ASSERT_EQ(AVIStreamSetFormat(v, 0, &bih, sizeof bih), AVIERR_OK);
  std::vector<uint8_t> p(kD1W * kD1H * 2);
  for (int i = 0; i < kFrames; ++i) {
    std::fill(p.begin(), p.end(), static_cast<uint8_t>(i));
    ASSERT_EQ(AVIStreamWrite(v, i, 1, p.data(), static_cast<LONG>(p.size()), AVIIF_KEYFRAME,
                             nullptr, nullptr),
              AVIERR_OK);
  }
  AVIStreamRelease(v);
  AVIFileRelease(f);
  std::printf("%s", avi_probe::Run("ls -l '" + path + "'").c_str());
  const auto streams = avi_probe::Probe(path);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].packets, kFrames);
  std::printf("ffprobe read %ld packets of %d\n", streams[0].packets, kFrames);
  std::printf("%s", avi_probe::Run("ffprobe -v warning -show_entries stream=nb_frames,duration "
                                   "-of compact '" +
                                   path + "' 2>&1")
                        .c_str());
  avi_probe::Run("rm -rf '" + dir + "'");
}

TEST_F(AviFile, BadCallsFailCleanly) {
  PAVIFILE f = nullptr;
  EXPECT_EQ(AVIFileOpenA(&f, "/nonexistent-dir/x.avi", OF_CREATE | OF_WRITE, nullptr),
            AVIERR_FILEOPEN);
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(AVIFileOpenA(&f, path_.c_str(), 0, nullptr), AVIERR_READONLY);
  ASSERT_EQ(AVIFileOpenA(&f, path_.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  PAVISTREAM s = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(f, &s, &info), AVIERR_OK);
  const uint8_t b[4] = {};
  EXPECT_EQ(AVIStreamWrite(s, 0, 1, b, 4, 0, nullptr, nullptr), AVIERR_BADFORMAT);
  EXPECT_EQ(AVIStreamWrite(s, 0, 1, nullptr, 4, 0, nullptr, nullptr), AVIERR_BADPARAM);
  AVIStreamRelease(s);
  AVIFileRelease(f);
}

}  // namespace
