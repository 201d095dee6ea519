#include "tools/dvrsim/picture_adjust.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace dvrsim {
namespace {

uint8_t Clamp(int v, int low, int high) { return static_cast<uint8_t>(std::clamp(v, low, high)); }

// One pass of a running box sum along every line of a plane: pixel i of line l is at
// l * across + i * along (rows: along 1; columns: across 1). Edge pixels repeat.
void BoxPass(std::vector<uint8_t>& plane, int lines, int length, int along, int across,
             int radius) {
  std::vector<uint8_t> line(static_cast<size_t>(length));
  const int span = 2 * radius + 1;
  for (int l = 0; l < lines; ++l) {
    auto at = [&](int i) -> uint8_t& {
      return plane[static_cast<size_t>(l) * across + static_cast<size_t>(i) * along];
    };
    for (int i = 0; i < length; ++i) line[i] = at(i);
    int sum = 0;
    for (int k = -radius; k <= radius; ++k) sum += line[std::clamp(k, 0, length - 1)];
    for (int i = 0; i < length; ++i) {
      at(i) = static_cast<uint8_t>(sum / span);
      sum += line[std::min(i + radius + 1, length - 1)] - line[std::max(i - radius, 0)];
    }
  }
}

void BlurPlane(std::vector<uint8_t>& plane, int width, int height, int radius) {
  if (radius <= 0 || width <= 0 || height <= 0) return;
  BoxPass(plane, height, width, 1, width, radius);
  BoxPass(plane, width, height, width, 1, radius);
}

}  // namespace

void Defocus(Picture& p, int radius) {
  BlurPlane(p.y, p.width, p.height, radius);
  BlurPlane(p.u, p.width / 2, p.height / 2, radius / 2);
  BlurPlane(p.v, p.width / 2, p.height / 2, radius / 2);
}

void Expose(Picture& p, double gain) {
  if (gain == 1.0) return;
  const int scale = static_cast<int>(std::lround(gain * 256));
  for (uint8_t& px : p.y) px = Clamp(16 + ((px - 16) * scale + 128) / 256, 16, 235);
}

void ApplyLook(Picture& p, const ImageLook& look) {
  if (look == ImageLook{}) return;
  // Luma through a table: contrast around mid-grey, then the offset.
  uint8_t table[256];
  for (int v = 0; v < 256; ++v) {
    table[v] = Clamp(128 + (v - 128) * look.contrast / 100 + look.luminance, 16, 235);
  }
  for (uint8_t& px : p.y) px = table[px];
  // Chroma turned by the hue angle and scaled by the saturation, in 1/4096 steps.
  const double angle = 2 * M_PI * look.colour / 256.0;
  const int c = static_cast<int>(std::lround(std::cos(angle) * 4096 * look.saturation / 128));
  const int s = static_cast<int>(std::lround(std::sin(angle) * 4096 * look.saturation / 128));
  for (size_t i = 0; i < p.u.size(); ++i) {
    const int u = p.u[i] - 128, v = p.v[i] - 128;
    p.u[i] = Clamp(128 + (u * c - v * s) / 4096, 16, 240);
    p.v[i] = Clamp(128 + (u * s + v * c) / 4096, 16, 240);
  }
}

}  // namespace dvrsim
