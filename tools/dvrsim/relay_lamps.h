#pragma once
// The relay outputs made visible: two lamps in the upper right corner of a test picture,
// output 1 on the left, output 2 on the right, in a grey frame; lit (bright, red) while the
// output is on, dark grey while it is off.

#include <cstdint>

#include "tools/dvrsim/picture.h"

namespace dvrsim {

// Draws the lamps of `mask` (bit 0 output 1, bit 1 output 2) over `p`.
void DrawRelayLamps(Picture& p, int mask);

// The mask shown by the lamps of a decoded luma plane (stride `stride`), or -1 when the
// corner holds no lamps.
int ReadRelayLamps(const uint8_t* luma, int stride, int width);

}  // namespace dvrsim
