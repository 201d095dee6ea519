#include "platform/ui/static_control.h"

#include "platform/ui/class_registry.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

void Notify(HWND window, WORD code) {
  if (!(GetWindowLongPtrA(window, GWL_STYLE) & SS_NOTIFY)) return;
  HWND parent = GetParent(window);
  if (parent == nullptr) return;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), code),
               reinterpret_cast<LPARAM>(window));
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  HWND parent = GetParent(window);
  HBRUSH brush = nullptr;
  if (parent != nullptr) {
    brush = reinterpret_cast<HBRUSH>(SendMessageA(
        parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
  }
  DcProvider* provider = GetDcProvider();
  if (dc != nullptr && brush != nullptr && provider != nullptr) {
    RECT client;
    GetClientRect(window, &client);
    provider->FillBackground(dc, client, brush);
  }
  EndPaint(window, &ps);
}

LRESULT StaticProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCHITTEST:
      if (!(GetWindowLongPtrA(window, GWL_STYLE) & SS_NOTIFY)) return HTTRANSPARENT;
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_LBUTTONDOWN:
      Notify(window, STN_CLICKED);
      return 0;
    case WM_LBUTTONDBLCLK:
      Notify(window, STN_DBLCLK);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_SETTEXT: {
      LRESULT done = DefWindowProcA(window, message, wparam, lparam);
      InvalidateRect(window, nullptr, TRUE);
      return done;
    }
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

void RegisterStaticClass() {
  auto c = std::make_shared<WindowClass>();
  c->name = "STATIC";
  c->style = CS_DBLCLKS | CS_PARENTDC;
  c->proc = StaticProc;
  c->cursor = LoadCursorA(nullptr, IDC_ARROW);
  c->transparent_without_notify = true;
  AddClass(c);
}

}  // namespace platform::ui
