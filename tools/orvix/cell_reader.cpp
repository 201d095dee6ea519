#include "tools/orvix/cell_reader.h"

#include <algorithm>
#include <vector>

#include "tools/dvrsim/picture.h"

namespace orvix {

int Luma(uint32_t p) { return ((p >> 16 & 255) * 77 + (p >> 8 & 255) * 150 + (p & 255) * 29) >> 8; }

// The picture is scaled to the window, so the dark box that holds the digits (from 8, 8 to
// 208, 160 in the simulator's 352 x 288) is found first, and the picture is read back through it.
// It is looked for in the left 70% of the cell: channel 1's relay lamps sit in a dark box of
// their own in the upper right corner.
std::string ReadCell(const platform::display::XrgbImage& image, RECT cell, int row) {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  const int right = cell.left + (cell.right - cell.left) * 7 / 10;
  for (int y = cell.top + kCellTitle + 4; y < cell.bottom - 8; ++y) {
    for (int x = cell.left + 8; x < right; ++x) {
      if (Luma(image.pixels[static_cast<size_t>(y) * image.width + x]) >= 35) continue;
      x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
  }
  if (x1 <= x0 || y1 <= y0) return "";
  std::vector<uint8_t> luma(352 * 288);
  for (int y = 0; y < 288; ++y) {
    for (int x = 0; x < 352; ++x) {
      int sx = std::clamp(x0 + (x - 8) * (x1 - x0 + 1) / 200, 0, image.width - 1);
      int sy = std::clamp(y0 + (y - 8) * (y1 - y0 + 1) / 152, 0, image.height - 1);
      luma[y * 352 + x] = static_cast<uint8_t>(Luma(image.pixels[sy * image.width + sx]));
    }
  }
  return dvrsim::ReadDigitRow(luma.data(), 352, 352, row);
}

}  // namespace orvix
