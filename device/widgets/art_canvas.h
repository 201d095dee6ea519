#pragma once
// Internal to the artwork: a small anti-aliased raster of 0x00RRGGBB pixels.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gdi/gdi.h"

namespace device::widgets::art {

struct Rgb {
  int r, g, b;
  Rgb Lighter(int by) const;
  uint32_t Pixel() const;
};
Rgb Mix(Rgb a, Rgb b, double t);

struct Point {
  double x, y;
};

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill);
  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<uint32_t>& pixels() const { return pixels_; }

  // Paints where `inside` holds, sampled 4 x 4 a pixel and blended by coverage, in the
  // colour `paint` gives for each pixel row (0 at the top of the canvas, 1 at the bottom).
  void Fill(const std::function<bool(double, double)>& inside,
            const std::function<Rgb(double)>& paint);
  void Fill(const std::function<bool(double, double)>& inside, Rgb color);
  // Pixels no sample of `inside` touches become `key`.
  void KeyOutside(const std::function<bool(double, double)>& inside, uint32_t key);

  HBITMAP ToBitmap() const;

 private:
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
};

// Shapes as inside-tests.
std::function<bool(double, double)> Disc(double cx, double cy, double r);
std::function<bool(double, double)> Ring(double cx, double cy, double r0, double r1);
std::function<bool(double, double)> RoundRect(double x0, double y0, double x1, double y1,
                                              double radius);
std::function<bool(double, double)> Polygon(std::vector<Point> points);
std::function<bool(double, double)> Bar(Point a, Point b, double half_width);

}  // namespace device::widgets::art
