#include "device/widgets/header_ctrl_cl.h"

#include <utility>

#include "device/widgets/mem_dc.h"
#include "device/widgets/widget_theme.h"
#include "platform/ui/commctrl.h"

namespace device::widgets {

CHeaderCtrlCl::~CHeaderCtrlCl() {
  UnsubclassWindow();
  DeleteObject(font_);
}

void CHeaderCtrlCl::SetBkColor(COLORREF color) {
  back_ = color;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CHeaderCtrlCl::SetTextColor(COLORREF color) {
  text_ = color;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CHeaderCtrlCl::SetFontHeight(int height) {
  font_height_ = height;
  DeleteObject(std::exchange(font_, CreateArialFont(height)));
  Relayout();
}

void CHeaderCtrlCl::SetHeight(int height) {
  height_ = height;
  Relayout();
}

int CHeaderCtrlCl::Height() const { return height_ > 0 ? height_ : font_height_ + 9; }

// The list lays its header out again (HDM_LAYOUT) when its size or font changes.
void CHeaderCtrlCl::Relayout() {
  if (m_hWnd == nullptr) return;
  HWND list = GetParent();
  HFONT list_font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
  SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(list_font), TRUE);
  Invalidate(FALSE);
}

void CHeaderCtrlCl::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(&client);
  {
    CMemDC mem(dc, client);
    FillSolid(mem, client, back_);
    HGDIOBJ old =
        SelectObject(mem, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(mem, TRANSPARENT);
    ::SetTextColor(mem, text_);
    int count = static_cast<int>(SendMessage(HDM_GETITEMCOUNT));
    for (int i = 0; i < count; ++i) {
      char title[128] = {};
      HDITEMA item{};
      item.mask = HDI_TEXT | HDI_FORMAT;
      item.pszText = title;
      item.cchTextMax = sizeof title;
      SendMessage(HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
      RECT r{};
      SendMessage(HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
      r.bottom = client.bottom;
      // A light rule between titles, and one under them all.
      FillSolid(mem, RECT{r.right - 1, r.top + 3, r.right, r.bottom - 3}, RGB(96, 116, 138));
      RECT text = r;
      InflateRect(&text, -4, 0);
      int justify = item.fmt & HDF_JUSTIFYMASK;
      UINT align = justify == HDF_CENTER ? DT_CENTER : justify == HDF_RIGHT ? DT_RIGHT : DT_LEFT;
      DrawTextA(mem, title, -1, &text, align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
    FillSolid(mem, RECT{0, client.bottom - 1, client.right, client.bottom}, RGB(96, 116, 138));
    SelectObject(mem, old);
  }
  EndPaint(m_hWnd, &ps);
}

LRESULT CHeaderCtrlCl::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case HDM_LAYOUT: {
      auto* layout = reinterpret_cast<HDLAYOUT*>(lparam);
      if (layout == nullptr || layout->prc == nullptr || layout->pwpos == nullptr) return FALSE;
      RECT* r = layout->prc;
      int height = Height();
      *layout->pwpos = WINDOWPOS{m_hWnd, nullptr, r->left, r->top, r->right - r->left, height, 0};
      r->top += height;
      return TRUE;
    }
    default:
      return CWnd::WindowProc(message, wparam, lparam);
  }
}

}  // namespace device::widgets
