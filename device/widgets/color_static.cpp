#include "device/widgets/color_static.h"

#include "device/widgets/mem_dc.h"
#include "device/widgets/widget_theme.h"

namespace device::widgets {

void CColorStatic::SetTextColor(COLORREF color) {
  text_ = color;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CColorStatic::SetBkColor(COLORREF color) {
  back_ = color;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CColorStatic::SetTransparent(bool transparent) {
  transparent_ = transparent;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CColorStatic::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(&client);
  {
    CMemDC mem(dc, client);
    if (transparent_) {
      FillParentBackground(m_hWnd, mem, client, WM_CTLCOLORSTATIC);
    } else {
      FillSolid(mem, client, back_);
    }
    HGDIOBJ old = SelectObject(mem, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(mem, TRANSPARENT);
    ::SetTextColor(mem, text_);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_STYLE));
    UINT align = (style & 3) == SS_CENTER  ? DT_CENTER
                 : (style & 3) == SS_RIGHT ? DT_RIGHT
                                           : DT_LEFT;
    std::string text = GetWindowText();
    DrawTextA(mem, text.c_str(), -1, &client, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(mem, old);
  }
  EndPaint(m_hWnd, &ps);
}

LRESULT CColorStatic::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      if (lparam) Invalidate(FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
      LRESULT done = Default();
      Invalidate(FALSE);
      return done;
    }
    default:
      return CWnd::WindowProc(message, wparam, lparam);
  }
}

}  // namespace device::widgets
