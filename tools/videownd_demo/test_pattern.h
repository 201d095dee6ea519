#pragma once
// A YUY2 test picture: eight colour bars over the upper two thirds, a grey ramp below.

#include <cstdint>
#include <vector>

namespace videownd_demo {

// REQUIRES: width a multiple of 2.
std::vector<uint8_t> ColourBars(int width, int height);

}  // namespace videownd_demo
