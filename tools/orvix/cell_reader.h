#pragma once
// Reading the simulator's digit rows back off a screenshot of the viewer: how runs and the soak
// script tell which frame each cell shows.

#include <cstdint>
#include <string>

#include "platform/display/png_image.h"
#include "platform/kernel/win_types.h"

namespace orvix {

constexpr int kCellTitle = 20;  // the title strip above each channel's picture

// The brightness of an XRGB pixel, 0 to 255.
int Luma(uint32_t pixel);

// The digit row `row` of the test picture shown in `cell`; empty when no picture is found.
std::string ReadCell(const platform::display::XrgbImage& image, RECT cell, int row);

}  // namespace orvix
