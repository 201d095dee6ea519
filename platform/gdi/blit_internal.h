#pragma once
// The drawing layer's stretch engine, shared by the blit calls and text.

#include "platform/gdi/gdi_internal.h"

namespace platform::gdi {

struct BlitOptions {
  int alpha = -1;  // 0..255: blend with this constant alpha; -1: copy
  bool per_pixel_alpha = false;
};

// Stretches `src_rect` of `src` (its coordinates) onto `dst` (context coordinates) of `dc`,
// nearest neighbour, clipped to the context; rectangles with right < left or bottom < top
// mirror. Takes the targets' locks itself.
bool StretchCore(DeviceContext* dc, RECT dst, const PixelTarget& src, RECT src_rect,
                 const BlitOptions& opt);
// The pixels of a BI_RGB DIB of 16, 24 or 32 bits; top is null for anything else.
PixelTarget DibTarget(const BITMAPINFO* info, const void* bits);

}  // namespace platform::gdi
