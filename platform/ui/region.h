#pragma once
// A set of pixels made of non-overlapping rectangles, in whatever coordinates the caller
// uses. Windows' update regions and visible regions are kept as these; a device context's
// clip (the GDI side) and the DirectDraw clipper read them as rectangle lists.

#include <vector>

#include "platform/kernel/win_types.h"

namespace platform::ui {

bool IsEmptyRect(const RECT& r);
bool IntersectRects(const RECT& a, const RECT& b, RECT* out);
bool RectContains(const RECT& r, LONG x, LONG y);

class Region {
 public:
  Region() = default;
  explicit Region(const RECT& r);

  bool IsEmpty() const { return rects_.empty(); }
  const std::vector<RECT>& rects() const { return rects_; }
  RECT Bounds() const;  // all zero when empty
  long long Area() const;
  bool Contains(LONG x, LONG y) const;

  void Clear() { rects_.clear(); }
  void Union(const RECT& r);
  void Union(const Region& other);
  void Subtract(const RECT& r);
  void Intersect(const RECT& r);
  void Intersect(const Region& other);
  void Offset(LONG dx, LONG dy);

 private:
  std::vector<RECT> rects_;
};

}  // namespace platform::ui
