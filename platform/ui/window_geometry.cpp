// Visibility, placement, z-order, coordinates and window fields.
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/kernel/kernel.h"
#include "platform/ui/desktop.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

using platform::ui::ClientScreenRect;
using platform::ui::Desktop;
using platform::ui::Find;
using platform::ui::TreeMutex;
using platform::ui::Window;

namespace {

using Lock = std::lock_guard<std::mutex>;

void OffsetSubtree(Window* w, LONG dx, LONG dy) {
  w->rect = RECT{w->rect.left + dx, w->rect.top + dy, w->rect.right + dx, w->rect.bottom + dy};
  for (Window* child : w->children) OffsetSubtree(child, dx, dy);
}

// Puts `w` after `insert_after` among its siblings (HWND_TOP: first, HWND_BOTTOM: last).
void Restack(Window* w, HWND insert_after) {
  auto& siblings = w->parent->children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
  auto at = siblings.begin();
  if (insert_after == HWND_BOTTOM) {
    at = siblings.end();
  } else if (insert_after != HWND_TOP && insert_after != HWND_TOPMOST &&
             insert_after != HWND_NOTOPMOST) {
    auto found = std::find_if(siblings.begin(), siblings.end(),
                              [&](Window* s) { return s->handle == insert_after; });
    at = found == siblings.end() ? siblings.begin() : found + 1;
  }
  siblings.insert(at, w);
}

struct PosChange {
  bool moved = false;
  bool sized = false;
  POINT pos{0, 0};
  SIZE client{0, 0};
};

// REQUIRES: TreeMutex() held.
PosChange ApplyPos(Window* w, HWND after, int x, int y, int cx, int cy, UINT flags) {
  RECT origin = ClientScreenRect(*w->parent);
  RECT old_client = ClientScreenRect(*w);
  platform::ui::Region old_area = platform::ui::VisibleRegionLocked(*w, false, false);
  RECT r = w->rect;
  if (!(flags & SWP_NOMOVE)) {
    OffsetSubtree(w, origin.left + x - r.left, origin.top + y - r.top);
    r = w->rect;
  }
  if (!(flags & SWP_NOSIZE))
    w->rect = RECT{r.left, r.top, r.left + std::max(cx, 0), r.top + std::max(cy, 0)};
  if (!(flags & SWP_NOZORDER)) Restack(w, after);
  if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
  if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
  if (!(flags & SWP_NOREDRAW)) {
    platform::ui::ExposeScreen(old_area);
    if (w->style & WS_VISIBLE) platform::ui::MarkShown(w);
  }
  RECT client = ClientScreenRect(*w);
  PosChange change;
  change.moved = client.left != old_client.left || client.top != old_client.top;
  change.sized = client.right - client.left != old_client.right - old_client.left ||
                 client.bottom - client.top != old_client.bottom - old_client.top;
  change.pos = POINT{client.left - origin.left, client.top - origin.top};
  change.client = SIZE{client.right - client.left, client.bottom - client.top};
  return change;
}

}  // namespace

BOOL ShowWindow(HWND h, int command) {
  bool show = command != SW_HIDE;
  bool was_visible;
  {
    Lock lock(TreeMutex());
    Window* w = Find(h);
    if (w == nullptr) return FALSE;
    was_visible = (w->style & WS_VISIBLE) != 0;
  }
  if (was_visible == show) return was_visible;
  SendMessageA(h, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr) return was_visible;
  if (show) {
    w->style |= WS_VISIBLE;
    platform::ui::MarkShown(w);
  } else {
    // What it covered is exposed once it is gone: the windows beneath count it as theirs
    // only then.
    platform::ui::Region gone = platform::ui::VisibleRegionLocked(*w, false, false);
    w->style &= ~WS_VISIBLE;
    platform::ui::ExposeScreen(gone);
  }
  return was_visible;
}

BOOL IsWindowVisible(HWND h) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  return w != nullptr && platform::ui::IsVisibleChain(*w);
}

BOOL EnableWindow(HWND h, BOOL enable) {
  bool was_disabled;
  {
    Lock lock(TreeMutex());
    Window* w = Find(h);
    if (w == nullptr) return FALSE;
    was_disabled = (w->style & WS_DISABLED) != 0;
    if (was_disabled == !enable) return was_disabled;
    w->style = enable ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
  }
  SendMessageA(h, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return was_disabled;
}

BOOL IsWindowEnabled(HWND h) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  return w != nullptr && !(w->style & WS_DISABLED);
}

BOOL MoveWindow(HWND h, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(h, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
  PosChange change;
  {
    Lock lock(TreeMutex());
    Window* w = Find(h);
    if (w == nullptr || w == Desktop()) return FALSE;
    change = ApplyPos(w, after, x, y, cx, cy, flags);
  }
  if (change.moved) SendMessageA(h, WM_MOVE, 0, MAKELPARAM(change.pos.x, change.pos.y));
  if (change.sized) {
    SendMessageA(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(change.client.cx, change.client.cy));
  }
  return TRUE;
}

BOOL GetWindowRect(HWND h, RECT* rect) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL GetClientRect(HWND h, RECT* rect) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr || rect == nullptr) return FALSE;
  RECT c = ClientScreenRect(*w);
  *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
  return TRUE;
}

BOOL ScreenToClient(HWND h, POINT* point) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr || point == nullptr) return FALSE;
  RECT c = ClientScreenRect(*w);
  point->x -= c.left;
  point->y -= c.top;
  return TRUE;
}

BOOL ClientToScreen(HWND h, POINT* point) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr || point == nullptr) return FALSE;
  RECT c = ClientScreenRect(*w);
  point->x += c.left;
  point->y += c.top;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  Lock lock(TreeMutex());
  Window* a = from ? Find(from) : Desktop();
  Window* b = to ? Find(to) : Desktop();
  if (a == nullptr || b == nullptr) return 0;
  RECT ca = ClientScreenRect(*a);
  RECT cb = ClientScreenRect(*b);
  LONG dx = ca.left - cb.left;
  LONG dy = ca.top - cb.top;
  for (UINT i = 0; i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELPARAM(dx, dy);
}

// The window's own bytes (cbWndExtra) at a byte offset; null when the offset is outside them.
static unsigned char* ExtraAt(Window* w, int index) {
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return nullptr;
  return w->extra.data() + index;
}

LONG_PTR GetWindowLongPtrA(HWND h, int index) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr) return 0;
  if (index >= 0) {
    LONG_PTR value = 0;
    if (unsigned char* at = ExtraAt(w, index)) {
      std::memcpy(&value, at, sizeof(value));
    } else {
      SetLastError(ERROR_INVALID_INDEX);
    }
    return value;
  }
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_USERDATA:
      return w->user_data;
    case GWLP_ID:
      return w->id;
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
      return w->parent == Desktop() ? 0 : reinterpret_cast<LONG_PTR>(w->parent->handle);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->ex_style);
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND h, int index, LONG_PTR value) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr) return 0;
  LONG_PTR old = 0;
  if (unsigned char* at = ExtraAt(w, index)) {
    std::memcpy(&old, at, sizeof(old));
    std::memcpy(at, &value, sizeof(value));
    return old;
  }
  switch (index) {
    case GWLP_WNDPROC:
      if (value == 0) break;
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_USERDATA:
      return std::exchange(w->user_data, value);
    case GWLP_ID:
      return std::exchange(w->id, value);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(std::exchange(w->style, static_cast<DWORD>(value)));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(std::exchange(w->ex_style, static_cast<DWORD>(value)));
    default:
      break;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

int GetSystemMetrics(int index) {
  Lock lock(TreeMutex());
  const RECT& d = Desktop()->rect;
  switch (index) {
    case SM_CXSCREEN:
      return d.right - d.left;
    case SM_CYSCREEN:
      return d.bottom - d.top;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CYCAPTION:
      return 18;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return 4;
    default:
      return 0;
  }
}

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
  if (r == nullptr) return FALSE;
  *r = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL PtInRect(const RECT* r, POINT p) {
  return r != nullptr && platform::ui::RectContains(*r, p.x, p.y);
}

BOOL OffsetRect(RECT* r, int dx, int dy) {
  if (r == nullptr) return FALSE;
  *r = RECT{r->left + dx, r->top + dy, r->right + dx, r->bottom + dy};
  return TRUE;
}

BOOL InflateRect(RECT* r, int dx, int dy) {
  if (r == nullptr) return FALSE;
  *r = RECT{r->left - dx, r->top - dy, r->right + dx, r->bottom + dy};
  return TRUE;
}

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
  if (out == nullptr || a == nullptr || b == nullptr) return FALSE;
  return platform::ui::IntersectRects(*a, *b, out) ? TRUE : FALSE;
}

BOOL IsRectEmpty(const RECT* r) { return r == nullptr || platform::ui::IsEmptyRect(*r); }
