// The default handling of window messages.
#include <algorithm>
#include <cstring>

#include "platform/ui/desktop.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace {

using platform::ui::TreeMutex;
using platform::ui::Window;

LRESULT HitTest(HWND window, LPARAM lparam) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  Window* w = platform::ui::Find(window);
  if (w == nullptr) return HTNOWHERE;
  LONG x = GET_X_LPARAM(lparam);
  LONG y = GET_Y_LPARAM(lparam);
  if (!platform::ui::RectContains(w->rect, x, y)) return HTNOWHERE;
  if (platform::ui::RectContains(platform::ui::ClientScreenRect(*w), x, y)) return HTCLIENT;
  return (w->style & WS_CAPTION) == WS_CAPTION ? HTCAPTION : HTBORDER;
}

LRESULT SetClassCursor(HWND window, WPARAM wparam, LPARAM lparam) {
  HWND parent = GetParent(window);
  if (parent != nullptr && SendMessageA(parent, WM_SETCURSOR, wparam, lparam)) return TRUE;
  HCURSOR cursor = nullptr;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    Window* w = platform::ui::Find(window);
    if (w == nullptr) return FALSE;
    cursor = w->window_class->cursor;
  }
  if (static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lparam))) != HTCLIENT) {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return FALSE;
  }
  if (cursor == nullptr) return FALSE;
  SetCursor(cursor);
  return TRUE;
}

LRESULT EraseWithClassBrush(HWND window, HDC dc) {
  HBRUSH brush;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    Window* w = platform::ui::Find(window);
    if (w == nullptr) return 0;
    brush = w->window_class->background;
  }
  platform::ui::DcProvider* provider = platform::ui::GetDcProvider();
  if (brush == nullptr || dc == nullptr || provider == nullptr) return 0;
  RECT client;
  GetClientRect(window, &client);
  provider->FillBackground(dc, client, brush);
  return 1;
}

LRESULT TextMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  Window* w = platform::ui::Find(window);
  if (w == nullptr) return 0;
  if (message == WM_SETTEXT) {
    w->text = lparam ? reinterpret_cast<LPCSTR>(lparam) : "";
    return TRUE;
  }
  if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(w->text.size());
  auto* buffer = reinterpret_cast<char*>(lparam);
  if (buffer == nullptr || wparam == 0) return 0;
  size_t n = std::min(w->text.size(), static_cast<size_t>(wparam) - 1);
  std::memcpy(buffer, w->text.data(), n);
  buffer[n] = '\0';
  return static_cast<LRESULT>(n);
}

}  // namespace

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
      if (cs != nullptr && cs->lpszName != nullptr) {
        TextMessage(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(cs->lpszName));
      }
      return TRUE;
    }
    case WM_NCHITTEST:
      return HitTest(window, lparam);
    case WM_SETCURSOR:
      return SetClassCursor(window, wparam, lparam);
    case WM_ERASEBKGND:
      return EraseWithClassBrush(window, reinterpret_cast<HDC>(wparam));
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return TextMessage(window, message, wparam, lparam);
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    default:
      return 0;
  }
}
