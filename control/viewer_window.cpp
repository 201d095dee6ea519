#include "control/viewer_window.h"

#include "platform/gdi/gdi.h"
#include "platform/ui/ui.h"

namespace control {
namespace {

LRESULT ViewerProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  ViewerControl* control = ViewerOfWindow(hwnd);
  if (control == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_CREATE:
      control->OnCreate(hwnd);
      return 0;
    case WM_SIZE:
      control->OnSize();
      return 0;
    case WM_TIMER:
      control->OnTimer(wparam);
      return 0;
    case kClickMessage:
      control->OnShowRequest(wparam, lparam);
      return 0;
    case kSelectMessage:
      control->OnSelect(wparam, lparam);
      return 0;
    case WM_DESTROY:
      control->OnDestroy();
      return 0;
    case WM_NCDESTROY:
      control->OnNcDestroy();
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

bool RegisterViewerClass() {
  WNDCLASSA wc{};
  if (GetClassInfoA(nullptr, kViewerClassName, &wc)) return true;
  wc.lpfnWndProc = &ViewerProc;
  wc.lpszClassName = kViewerClassName;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  return RegisterClassA(&wc) != 0;
}

}  // namespace

HWND CreateViewerWindow(ViewerControl* control, HWND parent, const RECT& rect) {
  if (!RegisterViewerClass()) return nullptr;
  return CreateWindowExA(0, kViewerClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                         rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                         parent, nullptr, nullptr, control);
}

ViewerControl* ViewerOfWindow(HWND window) {
  if (window == nullptr) return nullptr;
  return reinterpret_cast<ViewerControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace control
