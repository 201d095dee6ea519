#include "videolib/bmp_file.h"

#include <cstdio>
#include <vector>

namespace bmp {
namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

void FillHeader(uint8_t* h, int width, int height, uint32_t image_bytes) {
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, static_cast<uint32_t>(kHeaderBytes) + image_bytes);
  Put32(h + 10, static_cast<uint32_t>(kHeaderBytes));
  Put32(h + 14, 40);  // BITMAPINFOHEADER
  Put32(h + 18, static_cast<uint32_t>(width));
  Put32(h + 22, static_cast<uint32_t>(height));
  Put16(h + 26, 1);   // planes
  Put16(h + 28, 24);  // bits per pixel
  Put32(h + 30, 0);   // BI_RGB
  Put32(h + 34, image_bytes);
}

}  // namespace

size_t RowStride(int width) {
  return (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
}

bool Write(const char* path, const uint8_t* rows, int width, int height) {
  if (path == nullptr || rows == nullptr || width <= 0 || height <= 0) return false;
  const size_t packed = static_cast<size_t>(width) * 3;
  const size_t stride = RowStride(width);
  uint8_t header[kHeaderBytes] = {};
  FillHeader(header, width, height, static_cast<uint32_t>(stride * static_cast<size_t>(height)));
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(header, 1, sizeof(header), file) == sizeof(header);
  std::vector<uint8_t> row(stride, 0);
  for (int y = 0; ok && y < height; ++y) {
    std::copy(rows + static_cast<size_t>(y) * packed, rows + static_cast<size_t>(y + 1) * packed,
              row.begin());
    ok = std::fwrite(row.data(), 1, stride, file) == stride;
  }
  ok = (std::fclose(file) == 0) && ok;
  return ok;
}

}  // namespace bmp
