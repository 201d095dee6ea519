#include "tools/dvrsim/relay_lamps.h"

#include <algorithm>

namespace dvrsim {
namespace {

constexpr int kLampCells = 3;
constexpr int kBoxCells = 3 * 1 + 2 * kLampCells;  // margin, lamp, margin, lamp, margin
// Mid grey, never as dark as the digit box: readers find that box as the picture's darkest
// area (luma below 35).
constexpr uint8_t kBoxLuma = 110;
constexpr uint8_t kLitLuma = 235;
constexpr uint8_t kDarkLuma = 60;

struct Box {
  int left, top, cell;
  int LampLeft(int output) const { return left + (1 + output * (kLampCells + 1)) * cell; }
  int LampTop() const { return top + cell; }
};

Box CornerBox(int width) {
  int cell = CellSize(width);
  return Box{width - (kBoxCells + 1) * cell, cell, cell};
}

void Fill(std::vector<uint8_t>& plane, int stride, int rows, int x0, int y0, int w, int h,
          uint8_t value) {
  for (int y = std::max(0, y0); y < std::min(rows, y0 + h); ++y) {
    for (int x = std::max(0, x0); x < std::min(stride, x0 + w); ++x) plane[y * stride + x] = value;
  }
}

}  // namespace

void DrawRelayLamps(Picture& p, int mask) {
  Box box = CornerBox(p.width);
  int boxRows = 2 + kLampCells;
  Fill(p.y, p.width, p.height, box.left, box.top, kBoxCells * box.cell, boxRows * box.cell,
       kBoxLuma);
  int cw = p.width / 2, ch = p.height / 2;
  for (int output = 0; output < 2; ++output) {
    bool lit = (mask >> output & 1) != 0;
    int x = box.LampLeft(output), y = box.LampTop(), size = kLampCells * box.cell;
    Fill(p.y, p.width, p.height, x, y, size, size, lit ? kLitLuma : kDarkLuma);
    Fill(p.u, cw, ch, x / 2, y / 2, size / 2, size / 2, lit ? 90 : 128);
    Fill(p.v, cw, ch, x / 2, y / 2, size / 2, size / 2, lit ? 210 : 128);
  }
}

int ReadRelayLamps(const uint8_t* luma, int stride, int width) {
  Box box = CornerBox(width);
  auto at = [&](int x, int y) { return luma[y * stride + x]; };
  // The box's margin between the lamps must be grey, or this is not the lamp corner.
  int gapX = box.LampLeft(0) + kLampCells * box.cell + box.cell / 2;
  int gap = at(gapX, box.LampTop() + box.cell);
  if (gap < kBoxLuma - 25 || gap > kBoxLuma + 25) return -1;
  int mask = 0;
  for (int output = 0; output < 2; ++output) {
    int centre = at(box.LampLeft(output) + kLampCells * box.cell / 2,
                    box.LampTop() + kLampCells * box.cell / 2);
    if (centre > (kLitLuma + kBoxLuma) / 2) {
      mask |= 1 << output;
    } else if (centre > (kDarkLuma + kBoxLuma) / 2 || centre < kDarkLuma - 25) {
      return -1;
    }
  }
  return mask;
}

}  // namespace dvrsim
