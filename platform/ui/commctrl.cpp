#include <algorithm>
#include <mutex>

#include "platform/ui/commctrl_internal.h"

namespace platform::ui::commctrl {

void RegisterControlClass(const char* name, WNDPROC proc, UINT style) {
  WNDCLASSA wc{};
  wc.style = style | CS_GLOBALCLASS;
  wc.lpfnWndProc = proc;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

LRESULT Notify(HWND from, UINT code, NMHDR* header) {
  header->hwndFrom = from;
  header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(from));
  header->code = code;
  HWND parent = GetParent(from);
  if (parent == nullptr) return 0;
  return SendMessageA(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

OffscreenPaint::OffscreenPaint(HWND window) : window_(window) {
  target_ = BeginPaint(window, &ps_);
  GetClientRect(window, &client_);
  int width = std::max<int>(client_.right, 1);
  int height = std::max<int>(client_.bottom, 1);
  memory_ = CreateCompatibleDC(target_);
  bitmap_ = CreateCompatibleBitmap(target_, width, height);
  old_bitmap_ = SelectObject(memory_, bitmap_);
}

OffscreenPaint::~OffscreenPaint() {
  if (target_ != nullptr) {
    BitBlt(target_, 0, 0, client_.right, client_.bottom, memory_, 0, 0, SRCCOPY);
  }
  SelectObject(memory_, old_bitmap_);
  DeleteObject(bitmap_);
  DeleteDC(memory_);
  EndPaint(window_, &ps_);
}

void FillColor(HDC dc, const RECT& rect, COLORREF color) {
  SetDCBrushColor(dc, color);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void FrameColor(HDC dc, const RECT& rect, COLORREF color) {
  SetDCBrushColor(dc, color);
  FrameRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void HLine(HDC dc, int x0, int x1, int y, COLORREF color) {
  FillColor(dc, RECT{x0, y, x1, y + 1}, color);
}

void VLine(HDC dc, int x, int y0, int y1, COLORREF color) {
  FillColor(dc, RECT{x, y0, x + 1, y1}, color);
}

HFONT FontOr(HFONT font) {
  return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

}  // namespace platform::ui::commctrl

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (init == nullptr || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  static std::once_flag once;
  std::call_once(once, [] {
    using namespace platform::ui::commctrl;
    platform::gdi::InstallDcProvider();
    RegisterHeaderClass();
    RegisterListViewClass();
    RegisterTrackbarClass();
    RegisterDateTimeClass();
    RegisterTooltipClass();
  });
  return TRUE;
}

void InitCommonControls() {
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
  InitCommonControlsEx(&init);
}
