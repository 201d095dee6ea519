// List view: the scroll bars, vertical while the rows do not fit and horizontal while the
// columns do not.
#include <algorithm>

#include "platform/ui/listview_internal.h"

namespace platform::ui::commctrl {
namespace {

constexpr int kBar = 14;  // a bar's breadth
constexpr int kMinThumb = 12;

RECT Client(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return client;
}

// The bars' presence decided without each other first: the vertical bar by the rows against
// the whole height, the horizontal by the columns against the width left beside it.
bool RowsOverflow(HWND window, const ListView& lv) {
  int height = Client(window).bottom - lv.header_height;
  return static_cast<long long>(lv.rows.size()) * lv.row_height > height;
}

struct Bar {
  RECT track;
  int length;  // of the track, along its axis
  int thumb;   // the thumb's size
  int offset;  // the thumb's leading edge from the track's start
  int hidden;  // what is scrolled out of view: rows, or pixels of columns
};

Bar Vertical(HWND window, const ListView& lv) {
  RECT client = Client(window);
  int bottom = HorizontalBarShown(window, lv) ? client.bottom - kBar : client.bottom;
  Bar b{RECT{client.right - kBar, lv.header_height, client.right, bottom}, 0, 0, 0, 0};
  b.length = std::max<int>(bottom - lv.header_height, 0);
  int rows = std::max(static_cast<int>(lv.rows.size()), 1);
  int page = RowsPerPage(window, lv);
  b.hidden = std::max(0, rows - page);
  b.thumb = std::clamp(b.length * page / rows, kMinThumb, std::max(b.length, kMinThumb));
  b.offset = b.hidden > 0 ? (b.length - b.thumb) * lv.top / b.hidden : 0;
  return b;
}

Bar Horizontal(HWND window, const ListView& lv) {
  RECT client = Client(window);
  int view = ViewWidth(window, lv);
  Bar b{RECT{0, client.bottom - kBar, view, client.bottom}, view, 0, 0, 0};
  int total = std::max(TotalColumnWidth(lv), 1);
  b.hidden = std::max(0, total - view);
  b.thumb = std::clamp(view * view / total, kMinThumb, std::max(view, kMinThumb));
  b.offset = b.hidden > 0 ? (view - b.thumb) * lv.left / b.hidden : 0;
  return b;
}

void PaintBar(HDC dc, const Bar& b, bool vertical, bool held) {
  FillColor(dc, b.track, RGB(236, 238, 241));
  RECT thumb = vertical ? RECT{b.track.left + 2, b.track.top + b.offset, b.track.right - 2,
                               b.track.top + b.offset + b.thumb}
                        : RECT{b.track.left + b.offset, b.track.top + 2,
                               b.track.left + b.offset + b.thumb, b.track.bottom - 2};
  FillColor(dc, thumb, held ? RGB(120, 126, 135) : RGB(160, 166, 175));
}

// A press `along` the bar's axis, from the track's start: paging, or holding the thumb.
void PressBar(HWND window, ListView* lv, const Bar& b, int along, int which) {
  if (along < b.offset || along >= b.offset + b.thumb) {
    int dir = along < b.offset ? -1 : 1;
    if (which == 1) {
      Scroll(window, lv, dir * RowsPerPage(window, *lv));
    } else {
      ScrollColumns(window, lv, dir * ViewWidth(window, *lv));
    }
    return;
  }
  lv->scroll_drag = which;
  lv->scroll_grab = along - b.offset;
  SetCapture(window);
  InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

bool VerticalBarShown(HWND window, const ListView& lv) {
  return static_cast<int>(lv.rows.size()) > RowsPerPage(window, lv);
}

bool HorizontalBarShown(HWND window, const ListView& lv) {
  int width = Client(window).right - (RowsOverflow(window, lv) ? kBar : 0);
  return TotalColumnWidth(lv) > width;
}

int ViewWidth(HWND window, const ListView& lv) {
  return std::max<int>(Client(window).right - (RowsOverflow(window, lv) ? kBar : 0), 1);
}

int ViewHeight(HWND window, const ListView& lv) {
  int height = Client(window).bottom - lv.header_height;
  return std::max(height - (HorizontalBarShown(window, lv) ? kBar : 0), 0);
}

void PaintScrollBars(HWND window, HDC dc, const ListView& lv) {
  bool vertical = VerticalBarShown(window, lv);
  bool horizontal = HorizontalBarShown(window, lv);
  if (vertical) PaintBar(dc, Vertical(window, lv), true, lv.scroll_drag == 1);
  if (horizontal) PaintBar(dc, Horizontal(window, lv), false, lv.scroll_drag == 2);
  if (vertical && horizontal) {
    RECT client = Client(window);
    FillColor(dc, RECT{client.right - kBar, client.bottom - kBar, client.right, client.bottom},
              RGB(236, 238, 241));
  }
}

bool ScrollBarPress(HWND window, ListView* lv, int x, int y) {
  if (VerticalBarShown(window, *lv)) {
    Bar b = Vertical(window, *lv);
    if (x >= b.track.left && y >= b.track.top && y < b.track.bottom) {
      PressBar(window, lv, b, y - b.track.top, 1);
      return true;
    }
  }
  if (HorizontalBarShown(window, *lv)) {
    Bar b = Horizontal(window, *lv);
    if (y >= b.track.top && x < b.track.right) {
      PressBar(window, lv, b, x - b.track.left, 2);
      return true;
    }
  }
  RECT client = Client(window);
  // The corner between two bars takes the press and does nothing.
  return x >= client.right - kBar && y >= client.bottom - kBar && VerticalBarShown(window, *lv) &&
         HorizontalBarShown(window, *lv);
}

void ScrollBarDrag(HWND window, ListView* lv, int x, int y) {
  bool vertical = lv->scroll_drag == 1;
  Bar b = vertical ? Vertical(window, *lv) : Horizontal(window, *lv);
  int room = b.length - b.thumb;
  if (room <= 0) return;
  int start = vertical ? b.track.top : b.track.left;
  int offset = std::clamp((vertical ? y : x) - lv->scroll_grab - start, 0, room);
  int to = (offset * b.hidden + room / 2) / room;
  if (vertical) {
    Scroll(window, lv, to - lv->top);
  } else {
    ScrollColumns(window, lv, to - lv->left);
  }
}

void ScrollBarRelease(HWND window, ListView* lv) {
  lv->scroll_drag = 0;
  if (GetCapture() == window) ReleaseCapture();
  InvalidateRect(window, nullptr, FALSE);
}

}  // namespace platform::ui::commctrl
