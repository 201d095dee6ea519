// List view: the vertical scroll bar shown while the rows do not fit.
#include <algorithm>

#include "platform/ui/listview_internal.h"

namespace platform::ui::commctrl {
namespace {

constexpr int kBarWidth = 14;
constexpr int kMinThumb = 12;

RECT Track(HWND window, const ListView& lv) {
  RECT client;
  GetClientRect(window, &client);
  return RECT{client.right - kBarWidth, lv.header_height, client.right, client.bottom};
}

int Hidden(HWND window, const ListView& lv) {
  return std::max(0, static_cast<int>(lv.rows.size()) - RowsPerPage(window, lv));
}

RECT Thumb(HWND window, const ListView& lv) {
  RECT track = Track(window, lv);
  int length = track.bottom - track.top;
  int rows = std::max(static_cast<int>(lv.rows.size()), 1);
  int size =
      std::clamp(length * RowsPerPage(window, lv) / rows, kMinThumb, std::max(length, kMinThumb));
  int hidden = Hidden(window, lv);
  int top = track.top + (hidden > 0 ? (length - size) * lv.top / hidden : 0);
  return RECT{track.left + 2, top, track.right - 2, top + size};
}

}  // namespace

bool ScrollBarShown(HWND window, const ListView& lv) { return Hidden(window, lv) > 0; }

void PaintScrollBar(HWND window, HDC dc, const ListView& lv) {
  if (!ScrollBarShown(window, lv)) return;
  RECT track = Track(window, lv);
  FillColor(dc, track, RGB(236, 238, 241));
  VLine(dc, track.left, track.top, track.bottom, RGB(200, 204, 210));
  FillColor(dc, Thumb(window, lv), lv.scroll_drag ? RGB(120, 126, 135) : RGB(160, 166, 175));
}

bool ScrollBarPress(HWND window, ListView* lv, int x, int y) {
  if (!ScrollBarShown(window, *lv)) return false;
  RECT track = Track(window, *lv);
  if (x < track.left || y < track.top) return false;
  RECT thumb = Thumb(window, *lv);
  int page = RowsPerPage(window, *lv);
  if (y < thumb.top) {
    Scroll(window, lv, -page);
  } else if (y >= thumb.bottom) {
    Scroll(window, lv, page);
  } else {
    lv->scroll_drag = true;
    lv->scroll_grab = y - thumb.top;
    SetCapture(window);
    InvalidateRect(window, nullptr, FALSE);
  }
  return true;
}

void ScrollBarDrag(HWND window, ListView* lv, int y) {
  RECT track = Track(window, *lv);
  RECT thumb = Thumb(window, *lv);
  int room = (track.bottom - track.top) - (thumb.bottom - thumb.top);
  if (room <= 0) return;
  int offset = std::clamp(y - lv->scroll_grab - static_cast<int>(track.top), 0, room);
  int top = (offset * Hidden(window, *lv) + room / 2) / room;
  Scroll(window, lv, top - lv->top);
}

void ScrollBarRelease(HWND window, ListView* lv) {
  lv->scroll_drag = false;
  if (GetCapture() == window) ReleaseCapture();
  InvalidateRect(window, nullptr, FALSE);
}

}  // namespace platform::ui::commctrl
