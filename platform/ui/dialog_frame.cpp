// Moving a dialog by its caption and resizing a WS_THICKFRAME dialog by its edges.
#include <algorithm>

#include "platform/ui/controls_draw.h"
#include "platform/ui/dialog_internal.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

constexpr int kGrip = 6;       // how close to an edge a press resizes
constexpr int kMinWidth = 80;  // a resized dialog keeps at least its caption and close box
constexpr int kMinHeight = 40;

// Which edges follow the mouse for a press at `p` (screen); false outside the frame.
bool Grab(HWND dialog, POINT p, DialogState* s) {
  RECT r, client;
  GetWindowRect(dialog, &r);
  GetClientRect(dialog, &client);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
  bool caption = draw::CaptionHeight(dialog) > 0 && p.y >= origin.y - draw::CaptionHeight(dialog) &&
                 p.y < origin.y && p.x >= origin.x && p.x < origin.x + client.right;
  s->drag_left = s->drag_top = s->drag_right = s->drag_bottom = false;
  if (style & WS_THICKFRAME) {
    s->drag_left = p.x < r.left + kGrip;
    s->drag_right = p.x >= r.right - kGrip;
    s->drag_top = p.y < r.top + kGrip;
    s->drag_bottom = p.y >= r.bottom - kGrip;
  }
  bool resize = s->drag_left || s->drag_right || s->drag_top || s->drag_bottom;
  if (!resize && !caption) return false;
  if (!resize) s->drag_left = s->drag_top = s->drag_right = s->drag_bottom = true;
  s->drag_from = p;
  s->drag_rect = r;
  return true;
}

bool IsCloseBox(HWND dialog, POINT p) {
  if (!(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU) || draw::CaptionHeight(dialog) == 0) {
    return false;
  }
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  RECT client;
  GetClientRect(dialog, &client);
  int right = origin.x + client.right;
  return p.y < origin.y && p.y >= origin.y - draw::CaptionHeight(dialog) && p.x >= right - 20 &&
         p.x < right;
}

void Follow(HWND dialog, DialogState* s) {
  POINT now;
  GetCursorPos(&now);
  int dx = now.x - s->drag_from.x, dy = now.y - s->drag_from.y;
  RECT r = s->drag_rect;
  bool moving = s->drag_left && s->drag_right && s->drag_top && s->drag_bottom;
  if (moving) {
    OffsetRect(&r, dx, dy);
  } else {
    if (s->drag_left) r.left = std::min(r.left + dx, r.right - kMinWidth);
    if (s->drag_right) r.right = std::max(r.right + dx, r.left + kMinWidth);
    if (s->drag_top) r.top = std::min(r.top + dy, r.bottom - kMinHeight);
    if (s->drag_bottom) r.bottom = std::max(r.bottom + dy, r.top + kMinHeight);
  }
  POINT at{r.left, r.top};
  if (HWND parent = GetParent(dialog)) ScreenToClient(parent, &at);
  SetWindowPos(dialog, nullptr, at.x, at.y, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (moving ? SWP_NOSIZE : 0));
}

}  // namespace

bool HandleFrameMouse(HWND dialog, UINT message, WPARAM, LPARAM lparam, LRESULT* result) {
  DialogState* s = StateOf(dialog);
  if (s == nullptr) return false;
  *result = 0;
  switch (message) {
    case WM_NCLBUTTONDOWN: {
      POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (IsCloseBox(dialog, p)) {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        return true;
      }
      if (!Grab(dialog, p, s)) return false;
      s->dragging = true;
      SetCapture(dialog);
      return true;
    }
    case WM_MOUSEMOVE:
      if (!s->dragging) return false;
      Follow(dialog, s);
      return true;
    case WM_LBUTTONUP:
      if (!s->dragging) return false;
      Follow(dialog, s);
      s->dragging = false;
      ReleaseCapture();
      return true;
    case WM_CAPTURECHANGED:
      s->dragging = false;
      return false;
    default:
      return false;
  }
}

}  // namespace platform::ui
