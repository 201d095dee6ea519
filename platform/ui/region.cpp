#include "platform/ui/region.h"

#include <algorithm>

namespace platform::ui {

bool IsEmptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

bool IntersectRects(const RECT& a, const RECT& b, RECT* out) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (IsEmptyRect(r)) {
    *out = RECT{0, 0, 0, 0};
    return false;
  }
  *out = r;
  return true;
}

bool RectContains(const RECT& r, LONG x, LONG y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

namespace {

// Appends the parts of `piece` outside `cut` (at most four bands) to `out`.
void SubtractOne(const RECT& piece, const RECT& cut, std::vector<RECT>* out) {
  RECT inner;
  if (!IntersectRects(piece, cut, &inner)) {
    out->push_back(piece);
    return;
  }
  if (piece.top < inner.top) out->push_back({piece.left, piece.top, piece.right, inner.top});
  if (inner.bottom < piece.bottom) {
    out->push_back({piece.left, inner.bottom, piece.right, piece.bottom});
  }
  if (piece.left < inner.left) out->push_back({piece.left, inner.top, inner.left, inner.bottom});
  if (inner.right < piece.right) {
    out->push_back({inner.right, inner.top, piece.right, inner.bottom});
  }
}

}  // namespace

Region::Region(const RECT& r) {
  if (!IsEmptyRect(r)) rects_.push_back(r);
}

RECT Region::Bounds() const {
  if (rects_.empty()) return RECT{0, 0, 0, 0};
  RECT b = rects_.front();
  for (const RECT& r : rects_) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

long long Region::Area() const {
  long long area = 0;
  for (const RECT& r : rects_) {
    area += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
  }
  return area;
}

bool Region::Contains(LONG x, LONG y) const {
  return std::any_of(rects_.begin(), rects_.end(),
                     [&](const RECT& r) { return RectContains(r, x, y); });
}

void Region::Union(const RECT& r) {
  if (IsEmptyRect(r)) return;
  // Keep the rectangles disjoint: add only the parts of r not yet covered.
  std::vector<RECT> pieces{r};
  for (const RECT& have : rects_) {
    std::vector<RECT> rest;
    for (const RECT& p : pieces) SubtractOne(p, have, &rest);
    pieces.swap(rest);
    if (pieces.empty()) return;
  }
  rects_.insert(rects_.end(), pieces.begin(), pieces.end());
}

void Region::Union(const Region& other) {
  for (const RECT& r : other.rects_) Union(r);
}

void Region::Subtract(const RECT& r) {
  if (IsEmptyRect(r)) return;
  std::vector<RECT> rest;
  for (const RECT& p : rects_) SubtractOne(p, r, &rest);
  rects_.swap(rest);
}

void Region::Intersect(const RECT& r) {
  std::vector<RECT> kept;
  for (const RECT& p : rects_) {
    RECT inner;
    if (IntersectRects(p, r, &inner)) kept.push_back(inner);
  }
  rects_.swap(kept);
}

void Region::Intersect(const Region& other) {
  std::vector<RECT> kept;
  for (const RECT& p : rects_) {
    for (const RECT& q : other.rects_) {
      RECT inner;
      if (IntersectRects(p, q, &inner)) kept.push_back(inner);
    }
  }
  rects_.swap(kept);
}

void Region::Offset(LONG dx, LONG dy) {
  for (RECT& r : rects_) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  }
}

}  // namespace platform::ui
