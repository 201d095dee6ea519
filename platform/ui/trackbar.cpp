// The trackbar: a thumb moved along a channel between a minimum and a maximum.
#include <algorithm>
#include <utility>

#include "platform/ui/commctrl_internal.h"

namespace platform::ui::commctrl {
namespace {

constexpr int kThumbLength = 11;  // along the channel
constexpr int kThumbBreadth = 21;
constexpr int kMargin = 8;  // from the ends of the window to the thumb's furthest centre

struct Trackbar {
  int min = 0;
  int max = 100;
  int pos = 0;
  int line = 1;
  int page = 20;
  int tic_freq = 1;
  bool dragging = false;
  bool paging = false;
  int drag_offset = 0;  // from the thumb's centre to the press point, along the axis
};

StateMap<Trackbar>& States() {
  static auto* states = new StateMap<Trackbar>;
  return *states;
}

bool Vertical(HWND window) { return (GetWindowLongPtrA(window, GWL_STYLE) & TBS_VERT) != 0; }

int Length(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return Vertical(window) ? client.bottom : client.right;
}

int Breadth(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return Vertical(window) ? client.right : client.bottom;
}

// Pixel of the thumb's centre for a value, and the value nearest a pixel.
int PixelOf(HWND window, const Trackbar& t, int value) {
  int usable = std::max(Length(window) - 2 * kMargin, 0);
  if (t.max == t.min) return kMargin;
  return kMargin +
         static_cast<int>(static_cast<long long>(value - t.min) * usable / (t.max - t.min));
}

int ValueAt(HWND window, const Trackbar& t, int pixel) {
  int usable = Length(window) - 2 * kMargin;
  if (usable <= 0 || t.max == t.min) return t.min;
  long long span = static_cast<long long>(t.max) - t.min;
  long long offset = std::clamp(pixel - kMargin, 0, usable);
  return t.min + static_cast<int>((offset * span + usable / 2) / usable);
}

RECT ThumbRect(HWND window, const Trackbar& t) {
  int c = PixelOf(window, t, t.pos);
  int breadth = Breadth(window);
  int b0 = std::max((breadth - kThumbBreadth) / 2, 0);
  int b1 = std::min(b0 + kThumbBreadth, breadth);
  int a0 = c - kThumbLength / 2;
  return Vertical(window) ? RECT{b0, a0, b1, a0 + kThumbLength}
                          : RECT{a0, b0, a0 + kThumbLength, b1};
}

RECT ChannelRect(HWND window) {
  int breadth = Breadth(window);
  int mid = breadth / 2;
  int len = Length(window);
  return Vertical(window) ? RECT{mid - 2, kMargin - 4, mid + 2, len - kMargin + 4}
                          : RECT{kMargin - 4, mid - 2, len - kMargin + 4, mid + 2};
}

void Tell(HWND window, WORD code, int pos) {
  HWND parent = GetParent(window);
  if (parent == nullptr) return;
  UINT message = Vertical(window) ? WM_VSCROLL : WM_HSCROLL;
  SendMessageA(parent, message, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(window));
}

// Moves the thumb; true when the position changed.
bool MoveTo(HWND window, Trackbar* t, int value) {
  value = std::clamp(value, t->min, t->max);
  if (value == t->pos) return false;
  t->pos = value;
  InvalidateRect(window, nullptr, FALSE);
  return true;
}

void SetRange(HWND window, Trackbar* t, int lo, int hi, bool redraw) {
  // A range given the wrong way round is taken as the span between its two ends.
  if (hi < lo) std::swap(lo, hi);
  t->min = lo;
  t->max = hi;
  t->pos = std::clamp(t->pos, lo, hi);
  if (redraw) InvalidateRect(window, nullptr, FALSE);
}

void Paint(HWND window, Trackbar* t) {
  OffscreenPaint paint(window);
  HDC dc = paint.dc();
  HWND parent = GetParent(window);
  auto brush = reinterpret_cast<HBRUSH>(parent ? SendMessageA(parent, WM_CTLCOLORSTATIC,
                                                              reinterpret_cast<WPARAM>(dc),
                                                              reinterpret_cast<LPARAM>(window))
                                               : 0);
  if (brush == nullptr) brush = GetSysColorBrush(COLOR_BTNFACE);
  FillRect(dc, &paint.client(), brush);
  RECT channel = ChannelRect(window);
  FillColor(dc, channel, RGB(214, 218, 224));
  FrameColor(dc, channel, RGB(130, 136, 145));
  DWORD style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
  if ((style & TBS_AUTOTICKS) && !(style & TBS_NOTICKS) && t->tic_freq > 0 && t->max > t->min) {
    long long steps = (static_cast<long long>(t->max) - t->min) / t->tic_freq;
    for (long long i = 0; i <= steps && i <= 200; ++i) {
      int p = PixelOf(window, *t, t->min + static_cast<int>(i * t->tic_freq));
      int edge = Breadth(window) - 3;
      if (Vertical(window)) {
        HLine(dc, edge, edge + 3, p, RGB(90, 96, 105));
      } else {
        VLine(dc, p, edge, edge + 3, RGB(90, 96, 105));
      }
    }
  }
  RECT thumb = ThumbRect(window, *t);
  bool enabled = IsWindowEnabled(window);
  FillColor(dc, thumb,
            !enabled      ? RGB(200, 200, 200)
            : t->dragging ? RGB(0, 102, 204)
                          : RGB(0, 120, 215));
  FrameColor(dc, thumb, RGB(40, 60, 90));
  if (GetFocus() == window) {
    RECT focus = paint.client();
    DrawFocusRect(dc, &focus);
  }
}

void OnButtonDown(HWND window, Trackbar* t, int a) {
  SetFocus(window);
  if ((t = States().Get(window)) == nullptr) return;
  int centre = PixelOf(window, *t, t->pos);
  SetCapture(window);
  if (std::abs(a - centre) <= kThumbLength / 2) {
    t->dragging = true;
    t->drag_offset = a - centre;
    InvalidateRect(window, nullptr, FALSE);
    return;
  }
  t->paging = true;
  bool up = a < centre;
  if (MoveTo(window, t, t->pos + (up ? -t->page : t->page))) {
    Tell(window, up ? TB_PAGEUP : TB_PAGEDOWN, 0);
  }
}

void OnMouseMove(HWND window, Trackbar* t, int a) {
  if (!t->dragging) return;
  if (MoveTo(window, t, ValueAt(window, *t, a - t->drag_offset))) {
    Tell(window, TB_THUMBTRACK, t->pos);
  }
}

void OnButtonUp(HWND window, Trackbar* t) {
  bool dragging = std::exchange(t->dragging, false);
  bool paging = std::exchange(t->paging, false);
  int pos = t->pos;
  if (GetCapture() == window) ReleaseCapture();
  if (!dragging && !paging) return;
  InvalidateRect(window, nullptr, FALSE);
  if (dragging) Tell(window, TB_THUMBPOSITION, pos);
  Tell(window, TB_ENDTRACK, 0);
}

bool OnKey(HWND window, Trackbar* t, UINT key) {
  WORD code;
  int to;
  switch (key) {
    case VK_LEFT:
    case VK_UP:
      code = TB_LINEUP;
      to = t->pos - t->line;
      break;
    case VK_RIGHT:
    case VK_DOWN:
      code = TB_LINEDOWN;
      to = t->pos + t->line;
      break;
    case VK_PRIOR:
      code = TB_PAGEUP;
      to = t->pos - t->page;
      break;
    case VK_NEXT:
      code = TB_PAGEDOWN;
      to = t->pos + t->page;
      break;
    case VK_HOME:
      code = TB_TOP;
      to = t->min;
      break;
    case VK_END:
      code = TB_BOTTOM;
      to = t->max;
      break;
    default:
      return false;
  }
  if (MoveTo(window, t, to)) Tell(window, code, 0);
  return true;
}

LRESULT RangeMessage(HWND window, Trackbar* t, UINT message, WPARAM wparam, LPARAM lparam) {
  int value = static_cast<int>(lparam);
  switch (message) {
    case TBM_GETPOS:
      return t->pos;
    case TBM_GETRANGEMIN:
      return t->min;
    case TBM_GETRANGEMAX:
      return t->max;
    case TBM_SETPOS:
      t->pos = std::clamp(value, t->min, t->max);
      if (wparam) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case TBM_SETRANGE:
      SetRange(window, t, static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lparam))),
               static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lparam))), wparam != 0);
      return 0;
    case TBM_SETRANGEMIN:
      SetRange(window, t, value, std::max(value, t->max), wparam != 0);
      return 0;
    case TBM_SETRANGEMAX:
      SetRange(window, t, std::min(value, t->min), value, wparam != 0);
      return 0;
    case TBM_SETTICFREQ:
      t->tic_freq = std::max(static_cast<int>(wparam), 1);
      return 0;
    case TBM_SETPAGESIZE:
      return std::exchange(t->page, std::max(value, 1));
    case TBM_GETPAGESIZE:
      return t->page;
    case TBM_SETLINESIZE:
      return std::exchange(t->line, std::max(value, 1));
    case TBM_GETLINESIZE:
      return t->line;
    case TBM_GETTHUMBRECT:
    case TBM_GETCHANNELRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (r != nullptr)
        *r = message == TBM_GETTHUMBRECT ? ThumbRect(window, *t) : ChannelRect(window);
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT TrackbarProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) States().Create(window);
  Trackbar* t = States().Get(window);
  if (t == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  int axis = Vertical(window) ? GET_Y_LPARAM(lparam) : GET_X_LPARAM(lparam);
  switch (message) {
    case WM_NCDESTROY:
      States().Erase(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, t);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(window, t, axis);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(window, t, axis);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(window, t);
      return 0;
    case WM_CAPTURECHANGED:
      if (t->dragging || t->paging) OnButtonUp(window, t);
      return 0;
    case WM_KEYDOWN:
      OnKey(window, t, static_cast<UINT>(wparam));
      return 0;
    case WM_KEYUP:
      if (wparam == VK_LEFT || wparam == VK_RIGHT || wparam == VK_UP || wparam == VK_DOWN ||
          wparam == VK_PRIOR || wparam == VK_NEXT || wparam == VK_HOME || wparam == VK_END) {
        Tell(window, TB_ENDTRACK, 0);
      }
      return 0;
    default:
      if (message >= TBM_GETPOS && message <= TBM_GETCHANNELRECT) {
        return RangeMessage(window, t, message, wparam, lparam);
      }
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

void RegisterTrackbarClass() { RegisterControlClass(TRACKBAR_CLASSA, TrackbarProc); }

}  // namespace platform::ui::commctrl
