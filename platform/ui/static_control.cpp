#include "platform/ui/static_control.h"

#include "platform/ui/class_registry.h"
#include "platform/ui/controls_draw.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

// Window bytes: the font (WM_SETFONT) and the bitmap (STM_SETIMAGE).
constexpr int kFontAt = 0;
constexpr int kImageAt = 8;

void Notify(HWND window, WORD code) {
  if (!(GetWindowLongPtrA(window, GWL_STYLE) & SS_NOTIFY)) return;
  NotifyParent(window, code);
}

UINT TextFormat(DWORD style) {
  UINT format = DT_NOPREFIX;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER:
      format |= DT_CENTER | DT_WORDBREAK;
      break;
    case SS_RIGHT:
      format |= DT_RIGHT | DT_WORDBREAK;
      break;
    case SS_LEFTNOWORDWRAP:
      format |= DT_SINGLELINE;
      break;
    default:
      format |= DT_WORDBREAK;
  }
  if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  return format;
}

void DrawImage(HDC dc, HGDIOBJ bitmap, const RECT& client, bool centre) {
  BITMAP bm{};
  if (bitmap == nullptr || GetObjectA(bitmap, sizeof(bm), &bm) == 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap);
  int x = centre ? (client.right - bm.bmWidth) / 2 : 0;
  int y = centre ? (client.bottom - bm.bmHeight) / 2 : 0;
  BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

void Content(HWND window, HDC dc, const RECT& client) {
  DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  DWORD type = style & SS_TYPEMASK;
  if (type == SS_OWNERDRAW) {
    DRAWITEMSTRUCT dis{ODT_STATIC, static_cast<UINT>(GetDlgCtrlID(window)),
                       0,          ODA_DRAWENTIRE,
                       0,          window,
                       dc,         client,
                       0};
    SendMessageA(GetParent(window), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    return;
  }
  if (type == SS_BITMAP) {
    DrawImage(dc, reinterpret_cast<HGDIOBJ>(GetWindowLongPtrA(window, kImageAt)), client,
              (style & SS_CENTERIMAGE) != 0);
    return;
  }
  if (type == SS_ETCHEDHORZ) {
    draw::Edge(dc, RECT{0, 0, client.right, 2}, draw::kShadow, draw::kLight);
    return;
  }
  if (type == SS_BLACKFRAME) {
    draw::Edge(dc, client, draw::kText, draw::kText);
    return;
  }
  char text[1024];
  int n = GetWindowTextA(window, text, sizeof(text));
  if (n <= 0) return;
  RECT r = client;
  SetBkMode(dc, TRANSPARENT);
  if (!IsWindowEnabled(window)) SetTextColor(dc, draw::kGrayText);
  draw::Text(dc, reinterpret_cast<HFONT>(GetWindowLongPtrA(window, kFontAt)), text, &r,
             TextFormat(style));
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
  RECT client;
  GetClientRect(window, &client);
  if (dc != nullptr && brush != nullptr && provider != nullptr) {
    provider->FillBackground(dc, client, brush);
  }
  if (dc != nullptr) Content(window, dc, client);
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
    case WM_NCPAINT:
      draw::Frame(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_SETFONT:
      SetWindowLongPtrA(window, kFontAt, static_cast<LONG_PTR>(wparam));
      if (LOWORD(static_cast<uintptr_t>(lparam))) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrA(window, kFontAt);
    case STM_SETIMAGE: {
      LONG_PTR old = SetWindowLongPtrA(window, kImageAt, lparam);
      InvalidateRect(window, nullptr, TRUE);
      return old;
    }
    case STM_GETIMAGE:
      return GetWindowLongPtrA(window, kImageAt);
    case WM_ENABLE:
      InvalidateRect(window, nullptr, TRUE);
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
  c->extra_bytes = 2 * sizeof(LONG_PTR);
  AddClass(c);
}

}  // namespace platform::ui
