// DrawDib over the drawing layer's StretchDIBits.
#include "platform/vfw/drawdib.h"

#include <cstdlib>
#include <mutex>

struct HDRAWDIB__ {
  std::mutex mutex;
  bool begun = false;
  BITMAPINFOHEADER header{};
  const void* bits = nullptr;
  int dst_width = 0;
  int dst_height = 0;
};

namespace {

bool Drawable(const BITMAPINFOHEADER& h) {
  return h.biSize >= sizeof(BITMAPINFOHEADER) && h.biCompression == BI_RGB &&
         (h.biBitCount == 24 || h.biBitCount == 32) && h.biWidth > 0 && h.biHeight != 0 &&
         h.biWidth <= 16384 && std::abs(h.biHeight) <= 16384;
}

}  // namespace

HDRAWDIB DrawDibOpen() { return new HDRAWDIB__(); }

BOOL DrawDibClose(HDRAWDIB dd) {
  if (dd == nullptr) return FALSE;
  delete dd;
  return TRUE;
}

BOOL DrawDibBegin(HDRAWDIB dd, HDC, int dst_width, int dst_height, const BITMAPINFOHEADER* header,
                  int, int, UINT) {
  if (dd == nullptr || header == nullptr || !Drawable(*header)) return FALSE;
  std::lock_guard<std::mutex> lock(dd->mutex);
  dd->header = *header;
  dd->dst_width = dst_width;
  dd->dst_height = dst_height;
  dd->begun = true;
  return TRUE;
}

BOOL DrawDibDraw(HDRAWDIB dd, HDC dc, int x, int y, int dst_width, int dst_height,
                 const BITMAPINFOHEADER* header, const void* bits, int src_x, int src_y,
                 int src_width, int src_height, UINT flags) {
  if (dd == nullptr || dc == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(dd->mutex);
  if (header != nullptr) {
    if (!Drawable(*header)) return FALSE;
    dd->header = *header;
  } else if (!dd->begun) {
    return FALSE;
  }
  if (bits != nullptr) dd->bits = bits;
  if (dd->bits == nullptr) return FALSE;
  if (flags & DDF_DONTDRAW) return TRUE;
  const BITMAPINFOHEADER& h = dd->header;
  int rows = std::abs(h.biHeight);
  if (src_width < 0) src_width = h.biWidth;
  if (src_height < 0) src_height = rows;
  if (dst_width < 0) dst_width = src_width;
  if (dst_height < 0) dst_height = src_height;
  if (src_x < 0 || src_y < 0 || src_x + src_width > h.biWidth || src_y + src_height > rows) {
    return FALSE;
  }
  // DrawDib counts source rows from the picture's top; StretchDIBits from a bottom-up DIB's
  // bottom.
  int dib_y = h.biHeight > 0 ? rows - src_y - src_height : src_y;
  BITMAPINFO info{};
  info.bmiHeader = h;
  return StretchDIBits(dc, x, y, dst_width, dst_height, src_x, dib_y, src_width, src_height,
                       dd->bits, &info, DIB_RGB_COLORS, SRCCOPY) != 0;
}

BOOL DrawDibEnd(HDRAWDIB dd) {
  if (dd == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(dd->mutex);
  dd->begun = false;
  return TRUE;
}
