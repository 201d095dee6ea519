#include <gtest/gtest.h>

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
