#include "platform/ui/controls_draw.h"

#include "platform/ui/message.h"
#include "platform/ui/window.h"

namespace platform::ui::draw {
namespace {

constexpr int kCaptionHeight = 18;  // as the window system lays out the client area

int FrameWidth(DWORD style, DWORD ex_style) {
  int edge = 0;
  if (style & WS_THICKFRAME) {
    edge = 4;
  } else if (style & WS_DLGFRAME) {
    edge = 3;
  } else if (style & WS_BORDER) {
    edge = 1;
  }
  if (ex_style & WS_EX_CLIENTEDGE) edge += 2;
  if (ex_style & WS_EX_STATICEDGE) edge += 1;
  return edge;
}

void Caption(HDC dc, HWND window, const RECT& band) {
  Fill(dc, band, kCaption);
  char title[256];
  GetWindowTextA(window, title, sizeof(title));
  RECT text = band;
  text.left += 6;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kCaptionText);
  Text(dc, DefaultFont(), title, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  if (GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU) {
    // The close box: a cross at the right end of the band.
    int cx = band.right - 11, cy = (band.top + band.bottom) / 2;
    HPEN pen = CreatePen(PS_SOLID, 1, kCaptionText);
    HGDIOBJ old = SelectObject(dc, pen);
    for (int d = 0; d < 2; ++d) {
      MoveToEx(dc, cx - 4 + d, cy - 4, nullptr);
      LineTo(dc, cx + 5 + d, cy + 5);
      MoveToEx(dc, cx + 4 + d, cy - 4, nullptr);
      LineTo(dc, cx - 5 + d, cy + 5);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

}  // namespace

void Fill(HDC dc, const RECT& r, COLORREF color) {
  SetDCBrushColor(dc, color);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Edge(HDC dc, const RECT& r, COLORREF light, COLORREF dark) {
  if (r.right - r.left < 1 || r.bottom - r.top < 1) return;
  Fill(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, light);
  Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, light);
  Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, dark);
  Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, dark);
}

void Raised(HDC dc, RECT* r) {
  Edge(dc, *r, kLight, kDarkShadow);
  InflateRect(r, -1, -1);
  Edge(dc, *r, kFace, kShadow);
  InflateRect(r, -1, -1);
}

void Sunken(HDC dc, RECT* r) {
  Edge(dc, *r, kShadow, kLight);
  InflateRect(r, -1, -1);
  Edge(dc, *r, kDarkShadow, kFace);
  InflateRect(r, -1, -1);
}

int CaptionHeight(HWND window) {
  return (GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0;
}

void Frame(HWND window) {
  DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  DWORD ex_style = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
  if (FrameWidth(style, ex_style) == 0) return;
  HDC dc = GetWindowDC(window);
  if (dc == nullptr) return;
  RECT whole;
  GetWindowRect(window, &whole);
  RECT r{0, 0, whole.right - whole.left, whole.bottom - whole.top};
  if (style & (WS_THICKFRAME | WS_DLGFRAME)) {
    Raised(dc, &r);
    int rest = (style & WS_THICKFRAME) ? 2 : 1;
    for (int i = 0; i < rest; ++i) {
      Edge(dc, r, kFace, kFace);
      InflateRect(&r, -1, -1);
    }
  } else if (style & WS_BORDER) {
    Edge(dc, r, kDarkShadow, kDarkShadow);
    InflateRect(&r, -1, -1);
  }
  if (ex_style & WS_EX_CLIENTEDGE) Sunken(dc, &r);
  if (ex_style & WS_EX_STATICEDGE) {
    Edge(dc, r, kShadow, kLight);
    InflateRect(&r, -1, -1);
  }
  if ((style & WS_CAPTION) == WS_CAPTION) {
    Caption(dc, window, RECT{r.left, r.top, r.right, r.top + kCaptionHeight});
  }
  ReleaseDC(window, dc);
}

HBRUSH ParentBrush(HWND control, HDC dc, UINT message) {
  HWND parent = GetParent(control);
  HBRUSH brush = nullptr;
  if (parent != nullptr) {
    brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, message, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(control)));
  }
  if (brush != nullptr) return brush;
  bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, kText);
  SetBkColor(dc, field ? kField : kFace);
  return GetSysColorBrush(field ? COLOR_WINDOW : COLOR_BTNFACE);
}

void Text(HDC dc, HFONT font, const std::string& text, RECT* r, UINT format) {
  HGDIOBJ old = SelectObject(dc, font ? font : DefaultFont());
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), r, format);
  SelectObject(dc, old);
}

SIZE TextSize(HDC dc, HFONT font, const char* text, int count) {
  HGDIOBJ old = SelectObject(dc, font ? font : DefaultFont());
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc, text, count, &size);
  SelectObject(dc, old);
  return size;
}

HFONT DefaultFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

int FontHeight(HFONT font) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font ? font : DefaultFont());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  return tm.tmHeight > 0 ? static_cast<int>(tm.tmHeight) : 13;
}

}  // namespace platform::ui::draw

namespace platform::ui {

void NotifyParent(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (parent == nullptr) return;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

}  // namespace platform::ui
