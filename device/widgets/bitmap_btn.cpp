#include "device/widgets/bitmap_btn.h"

#include <utility>

#include "device/widgets/mem_dc.h"
#include "device/widgets/widget_art.h"
#include "device/widgets/widget_theme.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/shellapi.h"

namespace device::widgets {
namespace {

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP bm{};
  if (bitmap == nullptr || !GetObjectA(bitmap, sizeof bm, &bm)) return SIZE{0, 0};
  return SIZE{bm.bmWidth, bm.bmHeight};
}

HBITMAP LoadOr(UINT id, UINT fallback) { return LoadWidgetBitmap(id != 0 ? id : fallback); }

void OpenDocument(HWND parent, const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
  ShellExecuteA(parent, "open", path.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
}

}  // namespace

CBitmapBtn::~CBitmapBtn() {
  if (tooltip_ != nullptr && IsWindow(tooltip_)) ::DestroyWindow(tooltip_);
  UnsubclassWindow();
  FreeBitmaps();
}

void CBitmapBtn::FreeBitmaps() {
  for (HBITMAP& b : bitmaps_) DeleteObject(std::exchange(b, nullptr));
  for (HBITMAP& b : alternate_) DeleteObject(std::exchange(b, nullptr));
}

BOOL CBitmapBtn::LoadBitmaps(UINT normal, UINT hover, UINT pressed, UINT disabled) {
  HBITMAP made[4] = {LoadWidgetBitmap(normal), LoadOr(hover, normal), LoadOr(pressed, normal),
                     LoadOr(disabled, normal)};
  if (made[0] == nullptr) {
    for (HBITMAP b : made) DeleteObject(b);
    return FALSE;
  }
  for (int i = 0; i < 4; ++i) DeleteObject(std::exchange(bitmaps_[i], made[i]));
  SIZE size = BitmapSize(bitmaps_[0]);
  if (m_hWnd != nullptr) {
    SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    Invalidate(FALSE);
  }
  return TRUE;
}

BOOL CBitmapBtn::LoadAlternateBitmaps(UINT normal, UINT hover) {
  HBITMAP n = LoadWidgetBitmap(normal);
  if (n == nullptr) return FALSE;
  DeleteObject(std::exchange(alternate_[0], n));
  DeleteObject(std::exchange(alternate_[1], LoadOr(hover, normal)));
  if (m_hWnd != nullptr) Invalidate(FALSE);
  return TRUE;
}

void CBitmapBtn::SetUseAlternate(bool use) {
  if (use_alternate_ == use) return;
  use_alternate_ = use;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CBitmapBtn::SetShape(COLORREF transparent) {
  solid_.clear();
  runs_.clear();
  shaped_ = false;
  if (bitmaps_[0] == nullptr) return;
  SIZE size = BitmapSize(bitmaps_[0]);
  shape_width_ = size.cx;
  solid_.assign(static_cast<size_t>(size.cx) * size.cy, false);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmaps_[0]);
  for (int y = 0; y < size.cy; ++y) {
    int run = -1;
    for (int x = 0; x <= size.cx; ++x) {
      bool solid = x < size.cx && GetPixel(dc, x, y) != transparent;
      if (solid) solid_[static_cast<size_t>(y) * size.cx + x] = true;
      if (solid && run < 0) run = x;
      if (!solid && run >= 0) {
        runs_.push_back(RECT{run, y, x, y + 1});
        run = -1;
      }
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  shaped_ = true;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CBitmapBtn::SetCaption(const std::string& text, bool draw) {
  caption_ = text;
  draw_caption_ = draw;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CBitmapBtn::SetCaptionColors(COLORREF normal, COLORREF pressed) {
  caption_normal_ = normal;
  caption_pressed_ = pressed;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CBitmapBtn::SetTooltipText(const std::string& text) {
  if (m_hWnd == nullptr) return;
  InitCommonControls();
  if (tooltip_ == nullptr) {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0,
                               0, 0, 0, GetParent(), nullptr, nullptr, nullptr);
  }
  TOOLINFOA info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND;
  info.hwnd = GetParent();
  info.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
  info.lpszText = const_cast<char*>(text.c_str());
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

bool CBitmapBtn::IsPtz() const {
  int id = GetDlgCtrlID();
  return id >= kPtzFirstId && id <= kPtzLastId;
}

bool CBitmapBtn::Inside(int x, int y) const {
  RECT client;
  GetClientRect(&client);
  if (x < 0 || y < 0 || x >= client.right || y >= client.bottom) return false;
  if (!shaped_) return true;
  size_t at = static_cast<size_t>(y) * shape_width_ + x;
  return x < shape_width_ && at < solid_.size() && solid_[at];
}

HBITMAP CBitmapBtn::Current() const {
  if (!IsWindowEnabled()) return bitmaps_[3];
  if ((pressed_ && hover_) || key_down_) return bitmaps_[2];
  if (use_alternate_ && alternate_[0] != nullptr) return hover_ ? alternate_[1] : alternate_[0];
  return hover_ ? bitmaps_[1] : bitmaps_[0];
}

void CBitmapBtn::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(&client);
  {
    CMemDC mem(dc, client);
    FillParentBackground(m_hWnd, mem, client, WM_CTLCOLORBTN);
    if (HBITMAP bitmap = Current()) {
      HDC src = CreateCompatibleDC(mem);
      HGDIOBJ old = SelectObject(src, bitmap);
      if (shaped_) {
        for (const RECT& r : runs_) {
          BitBlt(mem, r.left, r.top, r.right - r.left, r.bottom - r.top, src, r.left, r.top,
                 SRCCOPY);
        }
      } else {
        BitBlt(mem, 0, 0, client.right, client.bottom, src, 0, 0, SRCCOPY);
      }
      SelectObject(src, old);
      DeleteDC(src);
    }
    if (draw_caption_ && !caption_.empty()) {
      HGDIOBJ old = SelectObject(mem, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(mem, TRANSPARENT);
      bool down = (pressed_ && hover_) || key_down_;
      SetTextColor(mem, !IsWindowEnabled() ? RGB(140, 150, 160)
                        : down             ? caption_pressed_
                                           : caption_normal_);
      RECT text = client;
      if (down) OffsetRect(&text, 0, 1);
      DrawTextA(mem, caption_.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SelectObject(mem, old);
    }
    if (GetFocus() == m_hWnd && !shaped_) {
      RECT focus = client;
      InflateRect(&focus, -3, -3);
      DrawFocusRect(mem, &focus);
    }
  }
  EndPaint(m_hWnd, &ps);
}

void CBitmapBtn::OnMouseMove(int x, int y) {
  bool inside = Inside(x, y);
  if (inside == hover_) return;
  hover_ = inside;
  Invalidate(FALSE);
  if (inside) {
    if (GetCapture() != m_hWnd) SetCapture(m_hWnd);
  } else if (!pressed_ && GetCapture() == m_hWnd) {
    ReleaseCapture();
  }
}

void CBitmapBtn::OnButtonDown(int x, int y) {
  if (!IsWindowEnabled()) return;
  if (!Inside(x, y)) {
    // A press beside the button while it held the capture for hovering is no press of it.
    hover_ = false;
    if (GetCapture() == m_hWnd) ReleaseCapture();
    Invalidate(FALSE);
    return;
  }
  pressed_ = true;
  hover_ = true;
  if (GetFocus() != m_hWnd) SetFocus(m_hWnd);
  if (GetCapture() != m_hWnd) SetCapture(m_hWnd);
  Invalidate(FALSE);
  if (IsPtz()) SendMessageA(GetParent(), kMsgPtzPress, static_cast<WPARAM>(GetDlgCtrlID()), 0);
}

void CBitmapBtn::OnButtonUp(int x, int y) {
  if (!pressed_) return;
  pressed_ = false;
  bool inside = Inside(x, y);
  hover_ = inside;
  if (!inside && GetCapture() == m_hWnd) ReleaseCapture();
  Invalidate(FALSE);
  if (inside && IsWindowEnabled()) Click();
}

// Space works the button as the left button does: down presses, up clicks.
void CBitmapBtn::OnSpace(bool down) {
  if (!IsWindowEnabled()) return;
  if (down) {
    if (key_down_) return;  // the key's repeats
    key_down_ = true;
    Invalidate(FALSE);
    if (IsPtz()) SendMessageA(GetParent(), kMsgPtzPress, static_cast<WPARAM>(GetDlgCtrlID()), 0);
    return;
  }
  if (!std::exchange(key_down_, false)) return;
  Invalidate(FALSE);
  Click();
}

void CBitmapBtn::Click() {
  HWND parent = GetParent();
  int id = GetDlgCtrlID();
  if (!document_.empty()) OpenDocument(parent, document_);
  if (IsPtz()) SendMessageA(parent, kMsgPtzRelease, static_cast<WPARAM>(id), 0);
  if (IsWindow(m_hWnd)) {
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
  }
}

void CBitmapBtn::EndPressUnseen() {
  if (!std::exchange(pressed_, false) || !IsPtz()) return;
  SendMessageA(GetParent(), kMsgPtzRelease, static_cast<WPARAM>(GetDlgCtrlID()), 0);
}

void CBitmapBtn::Relay(UINT message, WPARAM wparam, LPARAM lparam) {
  if (tooltip_ == nullptr) return;
  MSG msg{m_hWnd, message, wparam, lparam, 0, POINT{0, 0}};
  SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

LRESULT CBitmapBtn::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  int x = GET_X_LPARAM(lparam);
  int y = GET_Y_LPARAM(lparam);
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) Relay(message, wparam, lparam);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(x, y);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(x, y);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(x, y);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != m_hWnd && (hover_ || pressed_)) {
        // Still pressed: the release will never be seen here, so the movement it started is
        // stopped now. A release outside has cleared the press before giving the capture up.
        EndPressUnseen();
        hover_ = false;
        Invalidate(FALSE);
      }
      return 0;
    case WM_CANCELMODE:
      if (GetCapture() == m_hWnd) ReleaseCapture();
      EndPressUnseen();
      return 0;
    case WM_ENABLE:
      if (!wparam) {
        EndPressUnseen();
        hover_ = false;
        if (GetCapture() == m_hWnd) ReleaseCapture();
      }
      Invalidate(FALSE);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_SPACE) OnSpace(true);
      return 0;
    case WM_KEYUP:
      if (wparam == VK_SPACE) OnSpace(false);
      return 0;
    case WM_SETFOCUS:
      Invalidate(FALSE);
      return 0;
    case WM_KILLFOCUS:
      // Space held while the focus goes: the PTZ movement it started is stopped.
      if (std::exchange(key_down_, false) && IsPtz()) {
        SendMessageA(GetParent(), kMsgPtzRelease, static_cast<WPARAM>(GetDlgCtrlID()), 0);
      }
      Invalidate(FALSE);
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      if (lparam) Invalidate(FALSE);
      return 0;
    case WM_SETTEXT: {
      LRESULT done = Default();
      caption_ = lparam ? reinterpret_cast<LPCSTR>(lparam) : "";
      Invalidate(FALSE);
      return done;
    }
    default:
      return CWnd::WindowProc(message, wparam, lparam);
  }
}

}  // namespace device::widgets
