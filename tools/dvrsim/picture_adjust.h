#pragma once
// What a camera does to its picture besides pointing: focus (blur), iris (exposure) and the
// image settings a viewer sets per channel (hue, contrast, brightness, saturation).

#include <cstdint>

#include "tools/dvrsim/picture.h"

namespace dvrsim {

// A channel's image settings as the viewer sends them; the defaults leave a picture as it is.
struct ImageLook {
  uint8_t colour = 0;        // hue turned by colour / 256 of a full turn
  uint8_t contrast = 100;    // luma spread around mid-grey, in per cent
  int8_t luminance = 0;      // added to luma
  uint8_t saturation = 128;  // chroma spread, 128 = unchanged
  bool operator==(const ImageLook&) const = default;
};

// Blurs every plane with a box of 2 * radius + 1 pixels (chroma with half the radius), as an
// out-of-focus lens would; radius 0 leaves the picture as it is.
void Defocus(Picture& p, int radius);

// Scales luma above black by `gain`, as an iris opened (gain > 1) or closed lets more or
// less light in.
void Expose(Picture& p, double gain);

// Applies `look`; luma stays within 16-235 and chroma within 16-240.
void ApplyLook(Picture& p, const ImageLook& look);

}  // namespace dvrsim
