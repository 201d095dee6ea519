#include "tools/livepair/picture_check.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tools/dvrsim/picture.h"

namespace livepair {
namespace {

constexpr size_t kBmpHeaderBytes = 54;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::optional<LumaImage> Fail(std::string* error, const std::string& path, const char* why) {
  if (error != nullptr) *error = path + ": " + why;
  return std::nullopt;
}

}  // namespace

uint8_t LumaOf(uint32_t xrgb) {
  const int r = (xrgb >> 16) & 0xFF, g = (xrgb >> 8) & 0xFF, b = xrgb & 0xFF;
  return static_cast<uint8_t>(std::clamp((66 * r + 129 * g + 25 * b + 128) / 256 + 16, 0, 255));
}

LumaImage CutLuma(const uint32_t* pixels, int stride, int rows, const RECT& rect, int width,
                  int height) {
  LumaImage out;
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0 || rect.left < 0 || rect.top < 0 || rect.right > stride ||
      rect.bottom > rows || width <= 0 || height <= 0) {
    return out;
  }
  out.width = width;
  out.height = height;
  out.y.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const int sy = rect.top + (2 * y + 1) * h / (2 * height);
    for (int x = 0; x < width; ++x) {
      const int sx = rect.left + (2 * x + 1) * w / (2 * width);
      out.y[static_cast<size_t>(y) * width + x] =
          LumaOf(pixels[static_cast<size_t>(sy) * stride + sx]);
    }
  }
  return out;
}

std::optional<LumaImage> ReadBmpLuma(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, path, "cannot be opened");
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < kBmpHeaderBytes || b[0] != 'B' || b[1] != 'M') {
    return Fail(error, path, "not a BMP file");
  }
  const uint32_t offset = Le32(b, 10);
  const int32_t width = static_cast<int32_t>(Le32(b, 18));
  const int32_t height = static_cast<int32_t>(Le32(b, 22));
  if (Le16(b, 28) != 24 || Le32(b, 30) != 0) return Fail(error, path, "not 24-bit uncompressed");
  if (width <= 0 || height == 0 || width > 16384 || std::abs(height) > 16384) {
    return Fail(error, path, "bad picture size");
  }
  const int rows = std::abs(height);
  const size_t row_bytes = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  if (offset < kBmpHeaderBytes || b.size() < offset + row_bytes * rows) {
    return Fail(error, path, "shorter than its header says");
  }
  LumaImage out;
  out.width = width;
  out.height = rows;
  out.y.resize(static_cast<size_t>(width) * rows);
  for (int y = 0; y < rows; ++y) {
    // Rows are stored bottom-up unless the height is negative.
    const int stored = height > 0 ? rows - 1 - y : y;
    const uint8_t* row = b.data() + offset + row_bytes * stored;
    for (int x = 0; x < width; ++x) {
      const uint32_t xrgb = row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x];
      out.y[static_cast<size_t>(y) * width + x] = LumaOf(xrgb);
    }
  }
  return out;
}

PictureReading ReadPicture(const LumaImage& image) {
  PictureReading r;
  if (image.y.empty()) return r;
  r.channel = dvrsim::ReadDigitRow(image.y.data(), image.width, image.width, 0);
  r.counter = dvrsim::ReadDigitRow(image.y.data(), image.width, image.width, 1);
  return r;
}

int FramesBetween(int earlier, int later, int loop) {
  if (loop <= 0) return later - earlier;
  return ((later - earlier) % loop + loop) % loop;
}

double MeanDifference(const LumaImage& a, const LumaImage& b) {
  if (a.width != b.width || a.height != b.height || a.y.empty()) return 255.0;
  double sum = 0;
  for (size_t i = 0; i < a.y.size(); ++i) sum += std::abs(int{a.y[i]} - int{b.y[i]});
  return sum / static_cast<double>(a.y.size());
}

LumaImage ReferencePicture(int width, int height, int channel, int counter) {
  dvrsim::Picture p = dvrsim::DrawTestPicture(width, height, channel, counter);
  return LumaImage{width, height, std::move(p.y)};
}

}  // namespace livepair
