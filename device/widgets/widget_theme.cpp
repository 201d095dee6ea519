#include "device/widgets/widget_theme.h"

#include "platform/ui/ui.h"

namespace device::widgets {

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  SetDCBrushColor(dc, color);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void FillParentBackground(HWND child, HDC dc, const RECT& rect, UINT ctlcolor_message) {
  HWND parent = GetParent(child);
  HBRUSH brush = nullptr;
  if (parent != nullptr) {
    brush = reinterpret_cast<HBRUSH>(SendMessageA(
        parent, ctlcolor_message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child)));
  }
  if (brush != nullptr) {
    FillRect(dc, &rect, brush);
  } else {
    FillSolid(dc, rect, kDialogBackground);
  }
}

HFONT CreateArialFont(int height, int weight) {
  return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
}

}  // namespace device::widgets
