#include "tools/dvrsim/recording_files.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#include "platform/gdi/bitmap_types.h"
#include "platform/vfw/vfw.h"
#include "tools/dvrsim/encoder.h"
#include "tools/dvrsim/picture.h"

namespace dvrsim {
namespace fs = std::filesystem;

int PlayingTimeDigits(int seconds) { return seconds / 60 * 100 + seconds % 60; }

RecordingFiles::RecordingFiles(std::string cacheDir, int width, int height, int seconds)
    : dir_(std::move(cacheDir)), width_(width), height_(height), seconds_(seconds) {}

std::string RecordingFiles::Name(const Recording& r) const {
  std::string when = r.startText;
  for (char& c : when) c = (c == ' ' || c == ':') ? '-' : c;
  return "rec_ch" + std::to_string(r.channel) + "_" + when + "_" + std::to_string(width_) + "x" +
         std::to_string(height_) + "_" + std::to_string(seconds_) + "s_time.avi";
}

RecordingFile RecordingFiles::Get(const Recording& r) {
  const std::string path = dir_ + "/" + Name(r);
  std::lock_guard<std::mutex> lock(mutex_);
  std::error_code ec;
  auto size = fs::file_size(path, ec);
  if (ec) {
    Make(r, path);
    size = fs::file_size(path, ec);
    if (ec) throw std::runtime_error("cannot read the size of " + path);
  }
  return RecordingFile{path, static_cast<int64_t>(size)};
}

namespace {

// Three grey squares in the lower right corner, for the hour and minute the recording starts
// and its day: two recordings of one channel differ in their pictures, and so in their files.
void MarkStart(Picture* p, std::time_t start, int day) {
  std::tm local{};
  localtime_r(&start, &local);
  const int levels[3] = {40 + 8 * local.tm_hour, 40 + 3 * local.tm_min, 40 + 100 * day};
  constexpr int kSide = 12;
  for (int k = 0; k < 3; ++k) {
    const int x0 = p->width - (3 - k) * (kSide + 4), y0 = p->height - kSide - 4;
    for (int y = y0; y < y0 + kSide; ++y) {
      for (int x = x0; x < x0 + kSide; ++x) {
        p->y[static_cast<size_t>(y) * p->width + x] = static_cast<uint8_t>(levels[k]);
      }
    }
  }
}

struct AviCloser {
  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr;
  ~AviCloser() {
    if (stream) AVIStreamRelease(stream);
    if (file) AVIFileRelease(file);
  }
};

void WriteAvi(const std::string& path, int width, int height,
              const std::vector<CodedFrame>& frames) {
  AviCloser avi;
  if (AVIFileOpenA(&avi.file, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != AVIERR_OK)
    throw std::runtime_error("cannot create " + path);
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = mmioFOURCC('H', '2', '6', '4');
  info.dwScale = 1;
  info.dwRate = kFramesPerSecond;
  info.rcFrame = RECT{0, 0, width, height};
  BITMAPINFOHEADER format{};
  format.biSize = sizeof format;
  format.biWidth = width;
  format.biHeight = height;
  format.biPlanes = 1;
  format.biBitCount = 24;
  format.biCompression = mmioFOURCC('H', '2', '6', '4');
  format.biSizeImage = static_cast<DWORD>(width * height * 3);
  if (AVIFileCreateStreamA(avi.file, &avi.stream, &info) != AVIERR_OK ||
      AVIStreamSetFormat(avi.stream, 0, &format, sizeof format) != AVIERR_OK)
    throw std::runtime_error("cannot set up " + path);
  LONG n = 0;
  for (const CodedFrame& f : frames) {
    std::vector<uint8_t> sample;
    for (const auto& nal : f.nals) {
      sample.insert(sample.end(), {0, 0, 0, 1});
      sample.insert(sample.end(), nal.begin(), nal.end());
    }
    if (AVIStreamWrite(avi.stream, n++, 1, sample.data(), static_cast<LONG>(sample.size()),
                       f.key ? AVIIF_KEYFRAME : 0, nullptr, nullptr) != AVIERR_OK)
      throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace

void RecordingFiles::Make(const Recording& r, const std::string& path) {
  std::error_code ec;
  fs::create_directories(dir_, ec);
  if (ec) throw std::runtime_error("cannot create the cache folder " + dir_);
  const int w = width_, h = height_, channel = r.channel;
  const std::time_t start = r.start;
  const int day = r.day;
  auto frames = EncodePictures(w, h, seconds_ * kFramesPerSecond, [=](int i) {
    Picture p = DrawTestPicture(w, h, channel, PlayingTimeDigits(i / kFramesPerSecond));
    MarkStart(&p, start, day);
    return p;
  });
  // Another simulator may make the same file at the same time: each writes its own.
  const std::string part = path + ".part" + std::to_string(std::random_device{}());
  WriteAvi(part, w, h, frames);
  fs::rename(part, path, ec);
  if (ec) {
    fs::remove(part, ec);
    throw std::runtime_error("cannot put " + path + " in place");
  }
}

}  // namespace dvrsim
