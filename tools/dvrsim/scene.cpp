#include "tools/dvrsim/scene.h"

#include <algorithm>
#include <cstddef>

namespace dvrsim {
namespace {

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  return h ^ (h >> 15);
}

// Smooth noise of one scale: random values on a lattice `step` pixels apart, interpolated
// between them, in -amplitude..amplitude. The lattice starts `origin` pixels (a multiple of
// `step`) before out's first pixel, so a larger plane around a smaller one matches it.
void AddValueNoise(std::vector<int>& out, int width, int height, int step, int amplitude,
                   uint32_t seed, int origin) {
  const int shift = origin / step;
  const int cols = width / step + 2;
  const int rows = height / step + 2;
  std::vector<int> lattice(static_cast<size_t>(cols) * rows);
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < cols; ++i) {
      const uint32_t h =
          Hash(seed, static_cast<uint32_t>(i - shift), static_cast<uint32_t>(j - shift));
      lattice[j * cols + i] = static_cast<int>(h % (2u * amplitude + 1)) - amplitude;
    }
  }
  for (int y = 0; y < height; ++y) {
    const int j = y / step, fy = y % step;
    for (int x = 0; x < width; ++x) {
      const int i = x / step, fx = x % step;
      const int a = lattice[j * cols + i], b = lattice[j * cols + i + 1];
      const int c = lattice[(j + 1) * cols + i], d = lattice[(j + 1) * cols + i + 1];
      const int top = a * (step - fx) + b * fx;
      const int bottom = c * (step - fx) + d * fx;
      out[static_cast<size_t>(y) * width + x] += (top * (step - fy) + bottom * fy) / (step * step);
    }
  }
}

uint8_t Clamp(int v, int low, int high) { return static_cast<uint8_t>(std::clamp(v, low, high)); }

// Where a position moving by `step` a frame is after `frame` frames, wrapped into 0..size-1.
int Wrap(long long start, long long step, int frame, int size) {
  long long p = (start + step * frame) % size;
  return static_cast<int>(p < 0 ? p + size : p);
}

}  // namespace

Scene::Scene(int width, int height, uint32_t seed, int margin)
    : margin_(RoundMargin(margin)),
      coreWidth_(std::max(2, width & ~1)),
      coreHeight_(std::max(2, height & ~1)),
      seed_(seed) {
  width_ = coreWidth_ + 2 * margin_;
  height_ = coreHeight_ + 2 * margin_;
  const int m = margin_, mc = margin_ / 2;
  const size_t pixels = static_cast<size_t>(width_) * height_;
  std::vector<int> luma(pixels, 128);
  // Coarse shapes, then ever finer grain down to single pixels: texture at every scale.
  AddValueNoise(luma, width_, height_, 64, 56, seed + 1, m);
  AddValueNoise(luma, width_, height_, 16, 32, seed + 2, m);
  AddValueNoise(luma, width_, height_, 4, 20, seed + 3, m);
  AddValueNoise(luma, width_, height_, 1, 12, seed + 4, m);
  y_.resize(pixels);
  for (size_t i = 0; i < pixels; ++i) y_[i] = Clamp(luma[i], 16, 235);
  const int cw = width_ / 2, ch = height_ / 2;
  std::vector<int> u(static_cast<size_t>(cw) * ch, 128), v(u);
  AddValueNoise(u, cw, ch, 48, 14, seed + 5, mc);
  AddValueNoise(v, cw, ch, 48, 14, seed + 6, mc);
  AddValueNoise(u, cw, ch, 8, 8, seed + 7, mc);
  AddValueNoise(v, cw, ch, 8, 8, seed + 8, mc);
  u_.resize(u.size());
  v_.resize(v.size());
  for (size_t i = 0; i < u.size(); ++i) {
    u_[i] = Clamp(u[i], 16, 240);
    v_[i] = Clamp(v[i], 16, 240);
  }
  // Things crossing the scene: some slow, some fast, in every direction.
  const int unit = std::max(8, coreWidth_ / 36);
  for (uint32_t k = 0; k < 12; ++k) {
    const uint32_t h = Hash(seed, 1000 + k, 7);
    Mover m{};
    m.x = static_cast<int>(h % coreWidth_);
    m.y = static_cast<int>((h >> 8) % coreHeight_);
    m.dx = static_cast<int>(h % 13) - 6;
    m.dy = static_cast<int>((h >> 4) % 5) - 2;
    if (m.dx == 0 && m.dy == 0) m.dx = 3;
    m.width = unit * (1 + static_cast<int>((h >> 12) % 4));
    m.height = unit / 2 * (1 + static_cast<int>((h >> 16) % 3));
    m.luma = static_cast<uint8_t>(40 + (h >> 20) % 180);
    m.stripe = static_cast<uint8_t>(2 + (h >> 24) % 6);
    m.u = static_cast<uint8_t>(64 + (h >> 10) % 128);
    m.v = static_cast<uint8_t>(64 + (h >> 18) % 128);
    movers_.push_back(m);
  }
}

Scene Scene::ForPictures(int width, int height) { return Scene(2 * width, 2 * height, 20261209); }

Scene Scene::ForCameras(int width, int height) {
  return Scene(2 * width, 2 * height, 20261209, CamerasMargin(width));
}

int Scene::RoundMargin(int margin) {
  return (std::max(0, margin) + kMarginStep - 1) / kMarginStep * kMarginStep;
}

void Scene::CamerasGeometry(int width, int height, int* sceneWidth, int* sceneHeight) {
  const int m = CamerasMargin(width);
  *sceneWidth = std::max(2, 2 * width) + 2 * m;
  *sceneHeight = std::max(2, 2 * height) + 2 * m;
}

SceneView Scene::CameraHome(int channel, int width, int height) {
  return ViewIn(channel, width, height, std::max(2, 2 * width), std::max(2, 2 * height),
                CamerasMargin(width));
}

SceneView Scene::ChannelView(int channel, int width, int height) const {
  return ViewIn(channel, width, height, coreWidth_, coreHeight_, margin_);
}

SceneView Scene::ViewIn(int channel, int width, int height, int coreWidth, int coreHeight,
                        int margin) {
  const int c = std::max(0, channel - 1) % 8;
  SceneView view;
  view.width = std::min(width, coreWidth);
  view.height = std::min(height, coreHeight);
  view.x = margin + (c % 4) * (coreWidth - view.width) / 3;
  view.y = margin + (c / 4) * (coreHeight - view.height);
  return view;
}

Picture Scene::Render(const SceneView& asked, int frame, int pictureWidth,
                      int pictureHeight) const {
  Picture p;
  p.width = std::max(2, pictureWidth & ~1);
  p.height = std::max(2, pictureHeight & ~1);
  const int pw = p.width, ph = p.height, cw = pw / 2, chh = ph / 2;
  p.y.assign(static_cast<size_t>(pw) * ph, 16);
  p.u.assign(static_cast<size_t>(cw) * chh, 128);
  p.v.assign(static_cast<size_t>(cw) * chh, 128);
  SceneView view = asked;
  view.x = std::clamp(view.x, 0, width_ - 1);
  view.y = std::clamp(view.y, 0, height_ - 1);
  view.width = std::clamp(view.width, 1, width_ - view.x);
  view.height = std::clamp(view.height, 1, height_ - view.y);
  // Scene pixel of each picture column and row: centre sampling.
  std::vector<int> sx(pw), sy(ph);
  for (int x = 0; x < pw; ++x)
    sx[x] = view.x + static_cast<int>((2LL * x + 1) * view.width / (2LL * pw));
  for (int y = 0; y < ph; ++y)
    sy[y] = view.y + static_cast<int>((2LL * y + 1) * view.height / (2LL * ph));
  for (int y = 0; y < ph; ++y) {
    const uint8_t* in = &y_[static_cast<size_t>(sy[y]) * width_];
    uint8_t* out = &p.y[static_cast<size_t>(y) * pw];
    for (int x = 0; x < pw; ++x) out[x] = in[sx[x]];
  }
  for (int y = 0; y < chh; ++y) {
    const size_t row = static_cast<size_t>(sy[2 * y] / 2) * (width_ / 2);
    for (int x = 0; x < cw; ++x) {
      p.u[static_cast<size_t>(y) * cw + x] = u_[row + sx[2 * x] / 2];
      p.v[static_cast<size_t>(y) * cw + x] = v_[row + sx[2 * x] / 2];
    }
  }
  // The movers where they are at this frame, each with the copies its wrapping makes.
  for (const Mover& m : movers_) {
    const int mx = margin_ + Wrap(m.x, m.dx, frame, coreWidth_);
    const int my = margin_ + Wrap(m.y, m.dy, frame, coreHeight_);
    for (int oy : {my - coreHeight_, my}) {
      for (int ox : {mx - coreWidth_, mx}) {
        if (ox + m.width <= view.x || ox >= view.x + view.width || oy + m.height <= view.y ||
            oy >= view.y + view.height) {
          continue;
        }
        for (int y = 0; y < ph; ++y) {
          const int ry = sy[y] - oy;
          if (ry < 0 || ry >= m.height) continue;
          for (int x = 0; x < pw; ++x) {
            const int rx = sx[x] - ox;
            if (rx < 0 || rx >= m.width) continue;
            const bool dark = ((rx + ry) / m.stripe) % 2 != 0;
            p.y[static_cast<size_t>(y) * pw + x] = static_cast<uint8_t>(dark ? m.luma / 3 : m.luma);
            if (y % 2 == 0 && x % 2 == 0) {
              p.u[static_cast<size_t>(y / 2) * cw + x / 2] = m.u;
              p.v[static_cast<size_t>(y / 2) * cw + x / 2] = m.v;
            }
          }
        }
      }
    }
  }
  // Sensor noise, new in every frame: small steps around each pixel, as a camera gives.
  uint32_t state =
      Hash(seed_, static_cast<uint32_t>(frame), static_cast<uint32_t>(view.x * 7919 + view.y));
  for (uint8_t& px : p.y) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    const int n = static_cast<int>(state & 3) + static_cast<int>((state >> 2) & 3) - 3;
    px = Clamp(px + n, 16, 235);
  }
  return p;
}

}  // namespace dvrsim
