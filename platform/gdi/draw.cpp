// Rectangles, frames, lines and single pixels.
#include <algorithm>
#include <cstdlib>

#include "platform/gdi/gdi_internal.h"

using namespace platform::gdi;

namespace {

void FillColor(DeviceContext* dc, const RECT& r, COLORREF color) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  FillRaw(dc, r, dc->target.format.Encode(color));
}

// A frame `thickness` pixels wide just inside r.
void Frame(DeviceContext* dc, const RECT& r, COLORREF color, int thickness) {
  int t = thickness;
  if (r.right - r.left <= 2 * t || r.bottom - r.top <= 2 * t) {
    FillColor(dc, r, color);
    return;
  }
  FillColor(dc, RECT{r.left, r.top, r.right, r.top + t}, color);
  FillColor(dc, RECT{r.left, r.bottom - t, r.right, r.bottom}, color);
  FillColor(dc, RECT{r.left, r.top + t, r.left + t, r.bottom - t}, color);
  FillColor(dc, RECT{r.right - t, r.top + t, r.right, r.bottom - t}, color);
}

bool ClipContains(const DeviceContext& dc, int tx, int ty) {
  return tx >= 0 && ty >= 0 && tx < dc.target.width && ty < dc.target.height &&
         dc.clip.Contains(tx, ty);
}

}  // namespace

int FillRect(HDC handle, const RECT* rect, HBRUSH brush) {
  DeviceContext* dc = AsDc(handle);
  COLORREF color;
  if (dc == nullptr || rect == nullptr) return 0;
  if (!BrushColor(*dc, AsBrush(brush), &color)) return AsBrush(brush) != nullptr;
  FillColor(dc, *rect, color);
  return 1;
}

int FrameRect(HDC handle, const RECT* rect, HBRUSH brush) {
  DeviceContext* dc = AsDc(handle);
  COLORREF color;
  if (dc == nullptr || rect == nullptr) return 0;
  if (!BrushColor(*dc, AsBrush(brush), &color)) return AsBrush(brush) != nullptr;
  Frame(dc, *rect, color, 1);
  return 1;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return FALSE;
  RECT r{left, top, right, bottom};
  int inset = 0;
  if (dc->pen != nullptr && !dc->pen->null) inset = dc->pen->width;
  COLORREF color;
  if (BrushColor(*dc, dc->brush, &color)) {
    FillColor(dc, RECT{left + inset, top + inset, right - inset, bottom - inset}, color);
  }
  if (inset > 0) Frame(dc, r, dc->pen->color, inset);
  return TRUE;
}

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return FALSE;
  if (previous != nullptr) *previous = dc->pen_pos;
  dc->pen_pos = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC handle, int x, int y) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return FALSE;
  POINT from = dc->pen_pos;
  dc->pen_pos = POINT{x, y};
  if (dc->pen == nullptr || dc->pen->null) return TRUE;
  COLORREF color = dc->pen->color;
  if (from.y == y || from.x == x) {  // the common case: straight lines as rectangles
    RECT r = from.y == y ? RECT{std::min<LONG>(from.x, x), y, std::max<LONG>(from.x, x), y + 1}
                         : RECT{x, std::min<LONG>(from.y, y), x + 1, std::max<LONG>(from.y, y)};
    if (from.y == y && x < from.x) r = RECT{x + 1, y, from.x + 1, y + 1};
    if (from.x == x && y < from.y) r = RECT{x, y + 1, x + 1, from.y + 1};
    FillColor(dc, r, color);
    return TRUE;
  }
  int dx = std::abs(x - from.x), sx = from.x < x ? 1 : -1;
  int dy = -std::abs(y - from.y), sy = from.y < y ? 1 : -1;
  int err = dx + dy, cx = from.x, cy = from.y;
  while (cx != x || cy != y) {
    FillColor(dc, RECT{cx, cy, cx + 1, cy + 1}, color);
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      cx += sx;
    }
    if (e2 <= dx) {
      err += dx;
      cy += sy;
    }
  }
  return TRUE;
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return CLR_INVALID;
  int tx = x + dc->origin.x, ty = y + dc->origin.y;
  if (!ClipContains(*dc, tx, ty)) return CLR_INVALID;
  uint32_t raw = dc->target.format.Encode(color);
  TargetLock lock(dc->target);
  dc->target.Write(tx, ty, raw);
  MarkChanged(*dc, RECT{tx, ty, tx + 1, ty + 1});
  return dc->target.format.Decode(raw);
}

COLORREF GetPixel(HDC handle, int x, int y) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return CLR_INVALID;
  int tx = x + dc->origin.x, ty = y + dc->origin.y;
  if (!ClipContains(*dc, tx, ty)) return CLR_INVALID;
  TargetLock lock(dc->target);
  return dc->target.format.Decode(dc->target.Read(tx, ty));
}
