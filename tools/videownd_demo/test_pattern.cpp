#include "tools/videownd_demo/test_pattern.h"

#include <algorithm>

namespace videownd_demo {
namespace {

struct Yuv {
  int y, u, v;
};

// 75% bars, video range: white, yellow, cyan, green, magenta, red, blue, black.
constexpr Yuv kBars[8] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                          {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128}};

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

std::vector<uint8_t> ColourBars(int width, int height) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * height * 2);
  const int bars_end = height * 2 / 3;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &p[static_cast<size_t>(y) * width * 2];
    for (int x = 0; x < width; x += 2) {
      Yuv c = y < bars_end ? kBars[std::min(7, x * 8 / width)]
                           : Yuv{16 + 219 * x / std::max(1, width - 1), 128, 128};
      row[x * 2] = Clamp(c.y);
      row[x * 2 + 1] = Clamp(c.u);
      row[x * 2 + 2] = Clamp(c.y);
      row[x * 2 + 3] = Clamp(c.v);
    }
  }
  return p;
}

}  // namespace videownd_demo
