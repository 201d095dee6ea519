#pragma once
// Pixels a device context draws on: memory rows in a packed RGB format, with the lock that
// guards them and where changes are reported. DirectDraw makes contexts over its surfaces
// with CreateDcOverPixels.

#include <cstdint>
#include <mutex>

#include "platform/gdi/gdi.h"
#include "platform/ui/region.h"

namespace platform::display {
class Framebuffer;
}

namespace platform::gdi {

// A packed RGB format: 2, 3 or 4 bytes a pixel, little-endian, with channel masks.
struct PixelFormat {
  int bytes = 4;
  uint32_t rmask = 0xFF0000;
  uint32_t gmask = 0x00FF00;
  uint32_t bmask = 0x0000FF;

  bool IsXrgb32() const {
    return bytes == 4 && rmask == 0xFF0000 && gmask == 0xFF00 && bmask == 0xFF;
  }
  bool IsBgr24() const {
    return bytes == 3 && rmask == 0xFF0000 && gmask == 0xFF00 && bmask == 0xFF;
  }
  bool operator==(const PixelFormat& o) const {
    return bytes == o.bytes && rmask == o.rmask && gmask == o.gmask && bmask == o.bmask;
  }
  // COLORREF (0x00BBGGRR) to the raw value and back.
  uint32_t Encode(COLORREF color) const;
  COLORREF Decode(uint32_t raw) const;
};

PixelFormat Xrgb32();
PixelFormat Rgb565();
PixelFormat Rgb555();
PixelFormat Bgr24();

struct PixelTarget {
  uint8_t* top = nullptr;  // the first pixel of the top row
  int width = 0;
  int height = 0;
  long pitch = 0;  // bytes from one row to the one below; negative for bottom-up memory
  PixelFormat format;
  std::mutex* mutex = nullptr;                      // held while drawing, when given
  platform::display::Framebuffer* dirty = nullptr;  // told what changed, when given

  uint8_t* Row(int y) const { return top + pitch * y; }
  uint32_t Read(int x, int y) const;
  void Write(int x, int y, uint32_t raw) const;
};

// A context drawing on `target` with (0, 0) at its top-left pixel, clipped to `clip` (target
// coordinates) when given, else to the whole target. Freed with DeleteDC.
HDC CreateDcOverPixels(const PixelTarget& target, const platform::ui::Region* clip);

}  // namespace platform::gdi
