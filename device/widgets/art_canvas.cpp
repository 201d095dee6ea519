#include "device/widgets/art_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace device::widgets::art {
namespace {

constexpr int kSamples = 4;

int Clamp8(int v) { return std::clamp(v, 0, 255); }

}  // namespace

Rgb Rgb::Lighter(int by) const { return Rgb{Clamp8(r + by), Clamp8(g + by), Clamp8(b + by)}; }

uint32_t Rgb::Pixel() const {
  return (static_cast<uint32_t>(Clamp8(r)) << 16) | (static_cast<uint32_t>(Clamp8(g)) << 8) |
         static_cast<uint32_t>(Clamp8(b));
}

Rgb Mix(Rgb a, Rgb b, double t) {
  auto m = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
  return Rgb{m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill.Pixel()) {}

void Canvas::Fill(const std::function<bool(double, double)>& inside,
                  const std::function<Rgb(double)>& paint) {
  for (int y = 0; y < height_; ++y) {
    Rgb color = paint(height_ > 1 ? static_cast<double>(y) / (height_ - 1) : 0.0);
    for (int x = 0; x < width_; ++x) {
      int hits = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          hits += inside(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples);
        }
      }
      if (hits == 0) continue;
      uint32_t& p = pixels_[static_cast<size_t>(y) * width_ + x];
      Rgb old{static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
              static_cast<int>(p & 0xFF)};
      p = Mix(old, color, static_cast<double>(hits) / (kSamples * kSamples)).Pixel();
    }
  }
}

void Canvas::Fill(const std::function<bool(double, double)>& inside, Rgb color) {
  Fill(inside, [color](double) { return color; });
}

void Canvas::KeyOutside(const std::function<bool(double, double)>& inside, uint32_t key) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      bool any = false;
      for (int s = 0; s < kSamples * kSamples && !any; ++s) {
        any = inside(x + (s % kSamples + 0.5) / kSamples, y + (s / kSamples + 0.5) / kSamples);
      }
      if (!any) pixels_[static_cast<size_t>(y) * width_ + x] = key;
    }
  }
}

HBITMAP Canvas::ToBitmap() const {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) return bitmap;
  std::memcpy(bits, pixels_.data(), pixels_.size() * sizeof(uint32_t));
  return bitmap;
}

std::function<bool(double, double)> Disc(double cx, double cy, double r) {
  return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

std::function<bool(double, double)> Ring(double cx, double cy, double r0, double r1) {
  return [=](double x, double y) {
    double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
    return d >= r0 * r0 && d <= r1 * r1;
  };
}

std::function<bool(double, double)> RoundRect(double x0, double y0, double x1, double y1,
                                              double radius) {
  return [=](double x, double y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    double dx = std::max({x0 + radius - x, 0.0, x - (x1 - radius)});
    double dy = std::max({y0 + radius - y, 0.0, y - (y1 - radius)});
    return dx * dx + dy * dy <= radius * radius;
  };
}

std::function<bool(double, double)> Polygon(std::vector<Point> points) {
  return [points = std::move(points)](double x, double y) {
    bool in = false;
    for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      const Point& a = points[i];
      const Point& b = points[j];
      if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
  };
}

std::function<bool(double, double)> Bar(Point a, Point b, double half_width) {
  return [=](double x, double y) {
    double vx = b.x - a.x, vy = b.y - a.y;
    double len2 = vx * vx + vy * vy;
    double t = len2 > 0 ? std::clamp(((x - a.x) * vx + (y - a.y) * vy) / len2, 0.0, 1.0) : 0.0;
    double dx = x - (a.x + t * vx), dy = y - (a.y + t * vy);
    return dx * dx + dy * dy <= half_width * half_width;
  };
}

}  // namespace device::widgets::art
