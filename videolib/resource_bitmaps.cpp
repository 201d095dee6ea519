#include "videolib/resource_bitmaps.h"

#include <cstring>

#include "videolib/resource_bitmaps_data.h"

namespace videolib {
namespace {

template <typename T>
bool ReadAt(std::span<const uint8_t> file, size_t offset, T* out) {
  if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
  std::memcpy(out, file.data() + offset, sizeof(T));
  return true;
}

// Bytes of the pixel rows a header describes, or 0 when the header is not one we draw.
size_t PixelBytes(const BITMAPINFOHEADER& h) {
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biPlanes != 1) {
    return 0;
  }
  if (h.biBitCount != 24 && h.biBitCount != 32) return 0;
  if (h.biWidth <= 0 || h.biWidth > 4096 || h.biHeight == 0 || h.biHeight > 4096 ||
      h.biHeight < -4096) {
    return 0;
  }
  size_t row = (static_cast<size_t>(h.biWidth) * h.biBitCount / 8 + 3) & ~size_t{3};
  return row * static_cast<size_t>(h.biHeight < 0 ? -h.biHeight : h.biHeight);
}

}  // namespace

std::span<const uint8_t> ResourceBitmapFile(int id) {
  for (const EmbeddedBitmap& b : kEmbeddedBitmaps) {
    if (b.id == id) return {b.data, b.size};
  }
  return {};
}

HBITMAP LoadResourceBitmap(int id) {
  std::span<const uint8_t> file = ResourceBitmapFile(id);
  BITMAPFILEHEADER fh;
  BITMAPINFO info{};
  if (!ReadAt(file, 0, &fh) || fh.bfType != 0x4D42) return nullptr;
  if (!ReadAt(file, sizeof(fh), &info.bmiHeader)) return nullptr;
  size_t bytes = PixelBytes(info.bmiHeader);
  if (bytes == 0 || fh.bfOffBits > file.size() || file.size() - fh.bfOffBits < bytes) {
    return nullptr;
  }
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bmp == nullptr || bits == nullptr) {
    if (bmp != nullptr) DeleteObject(bmp);
    return nullptr;
  }
  std::memcpy(bits, file.data() + fh.bfOffBits, bytes);
  return bmp;
}

}  // namespace videolib
