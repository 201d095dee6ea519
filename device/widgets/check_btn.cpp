#include "device/widgets/check_btn.h"

#include "device/widgets/mem_dc.h"
#include "device/widgets/widget_theme.h"

namespace device::widgets {
namespace {

constexpr int kBox = 13;

}  // namespace

void CCheckBtn::SetCheck(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CCheckBtn::SetText(const std::string& text) { SetWindowText(text.c_str()); }

void CCheckBtn::SetTextFont(HFONT font) {
  font_ = font;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CCheckBtn::Toggle() {
  SetCheck(!checked_);
  SendMessageA(GetParent(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED),
               reinterpret_cast<LPARAM>(m_hWnd));
}

void CCheckBtn::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(&client);
  {
    CMemDC mem(dc, client);
    FillParentBackground(m_hWnd, mem, client, WM_CTLCOLORBTN);
    bool enabled = IsWindowEnabled();
    int top = (client.bottom - kBox) / 2;
    RECT box{0, top, kBox, top + kBox};
    FillSolid(mem, box, enabled ? RGB(150, 170, 190) : RGB(90, 100, 110));
    RECT inner = box;
    InflateRect(&inner, -1, -1);
    FillSolid(mem, inner, pressed_ ? RGB(50, 70, 92) : RGB(18, 28, 40));
    if (checked_) {
      // A tick of two strokes, two pixels thick.
      COLORREF tick = enabled ? RGB(0, 190, 255) : RGB(120, 130, 140);
      for (int i = 0; i < 3; ++i)
        FillSolid(mem, RECT{3 + i, top + 6 + i, 5 + i, top + 8 + i}, tick);
      for (int i = 0; i < 5; ++i)
        FillSolid(mem, RECT{6 + i, top + 7 - i, 8 + i, top + 9 - i}, tick);
    }
    HGDIOBJ old = SelectObject(mem, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, enabled ? kLabelText : RGB(140, 150, 160));
    RECT text{kBox + 5, 0, client.right, client.bottom};
    std::string caption = GetWindowText();
    DrawTextA(mem, caption.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (GetFocus() == m_hWnd) DrawFocusRect(mem, &text);
    SelectObject(mem, old);
  }
  EndPaint(m_hWnd, &ps);
}

LRESULT CCheckBtn::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      SetCapture(m_hWnd);
      Invalidate(FALSE);
      return 0;
    case WM_LBUTTONUP: {
      if (!pressed_) return 0;
      pressed_ = false;
      if (GetCapture() == m_hWnd) ReleaseCapture();
      RECT client;
      GetClientRect(&client);
      POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      Invalidate(FALSE);
      if (PtInRect(&client, p) && IsWindowEnabled()) Toggle();
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (pressed_) {
        pressed_ = false;
        Invalidate(FALSE);
      }
      return 0;
    case WM_KEYUP:
      if (wparam == VK_SPACE && IsWindowEnabled()) Toggle();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      Invalidate(FALSE);
      return 0;
    case BM_GETCHECK:
      return checked_ ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      SetCheck(wparam == BST_CHECKED);
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      if (lparam) Invalidate(FALSE);
      return 0;
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
