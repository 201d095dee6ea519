#include "videolib/video_wnd.h"

#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "videolib/pixel_convert.h"
#include "videolib/resource_bitmaps.h"

int CVideoWnd::m_bFull = 0;
UINT CVideoWnd::m_nClickMsg = 1224;   // WM_USER + 200
UINT CVideoWnd::m_nSelectMsg = 1225;  // WM_USER + 201
COLORREF CVideoWnd::m_crVideoWin = RGB(64, 64, 64);
COLORREF CVideoWnd::m_crFocusWin = RGB(0, 200, 0);

namespace {

// The objects behind our subclassed windows. Only the windows' own thread dispatches to them,
// but windows of several threads share the map.
std::mutex& MapMutex() {
  static std::mutex mutex;
  return mutex;
}
// An object, not a pointer left to the end of the process: Plexa goes with the plug-in that
// loaded it, and each load and unload would leave a map behind.
std::unordered_map<HWND, CVideoWnd*>& WindowMap() {
  static std::unordered_map<HWND, CVideoWnd*> map;
  return map;
}

CVideoWnd* FromHandle(HWND hwnd) {
  std::lock_guard<std::mutex> lock(MapMutex());
  auto it = WindowMap().find(hwnd);
  return it == WindowMap().end() ? nullptr : it->second;
}

bool StrictlyInside(const RECT& r, POINT pt) {
  return pt.x > r.left && pt.x < r.right && pt.y > r.top && pt.y < r.bottom;
}

POINT PointOf(LPARAM lparam) { return POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}; }

}  // namespace

CVideoWnd::CVideoWnd() = default;

CVideoWnd::~CVideoWnd() {
  if (m_hWnd != nullptr) {
    HWND hwnd = m_hWnd;
    {
      std::lock_guard<std::mutex> lock(MapMutex());
      WindowMap().erase(hwnd);
    }
    if (IsWindow(hwnd)) {
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
      DestroyWindow(hwnd);
    }
    m_hWnd = nullptr;
  }
  for (HBITMAP* bmp : {&m_hBtnBmp, &m_hBtnBmp2, &m_hTitleBmp}) {
    if (*bmp != nullptr) DeleteObject(*bmp);
    *bmp = nullptr;
  }
  if (m_hBkBrush != nullptr) DeleteObject(m_hBkBrush);
}

BOOL CVideoWnd::CreateWnd(const RECT& rect, HWND parent, UINT id) {
  LoadBitmaps();
  m_rcNormal = rect;
  if (m_hBkBrush == nullptr) m_hBkBrush = CreateSolidBrush(m_crVideoWin);
#if VIDEOLIB_GDI_TEXT
  const DWORD ex_style = WS_EX_NOPARENTNOTIFY | WS_EX_STATICEDGE;
#else
  const DWORD ex_style = WS_EX_NOPARENTNOTIFY;
#endif
  HWND hwnd = CreateWindowExA(
      ex_style, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_BORDER | SS_NOTIFY, rect.left, rect.top,
      rect.right - rect.left, rect.bottom - rect.top, parent,
      reinterpret_cast<HMENU>(static_cast<uintptr_t>(id + kIdOffset)), nullptr, nullptr);
  if (hwnd == nullptr) return FALSE;
  m_hWnd = hwnd;
  {
    std::lock_guard<std::mutex> lock(MapMutex());
    WindowMap()[hwnd] = this;
  }
  m_pfnSuper = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CVideoWnd::WndProc)));
#if VIDEOLIB_GDI_TEXT
  printf("create video widows!,hwnd:%x\n",
         static_cast<unsigned>(reinterpret_cast<uintptr_t>(parent)));
#endif
  return TRUE;
}

void CVideoWnd::LoadBitmaps() {
  if (m_hBtnBmp == nullptr) m_hBtnBmp = videolib::LoadResourceBitmap(4000);
#if !VIDEOLIB_GDI_TEXT
  if (m_hBtnBmp2 == nullptr) m_hBtnBmp2 = videolib::LoadResourceBitmap(4001);
#endif
  if (m_hTitleBmp == nullptr) m_hTitleBmp = videolib::LoadResourceBitmap(4002);
}

LRESULT CVideoWnd::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  CVideoWnd* self = FromHandle(hwnd);
  if (self == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  return self->OnMessage(message, wparam, lparam);
}

LRESULT CVideoWnd::Default(UINT message, WPARAM wparam, LPARAM lparam) {
  if (m_pfnSuper == nullptr) return DefWindowProcA(m_hWnd, message, wparam, lparam);
  return CallWindowProcA(m_pfnSuper, m_hWnd, message, wparam, lparam);
}

LRESULT CVideoWnd::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(wparam, lparam);
      return 0;
    case WM_RBUTTONDBLCLK:
      OnRButtonDblClk(wparam, lparam);
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(wparam, lparam);
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp(wparam, lparam);
      return 0;
    case WM_RBUTTONDOWN:
      OnRButtonDown(wparam, lparam);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(wparam, lparam);
      return 0;
    case WM_TIMER:
      OnTimer(wparam);
      return Default(message, wparam, lparam);
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_NCPAINT:
      OnNcPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole client area
    case WM_NCDESTROY: {
      LRESULT r = Default(message, wparam, lparam);
      std::lock_guard<std::mutex> lock(MapMutex());
      WindowMap().erase(m_hWnd);
      m_hWnd = nullptr;
      return r;
    }
    default:
      return Default(message, wparam, lparam);
  }
}

int CVideoWnd::IsVisible() { return m_hWnd != nullptr && IsWindowVisible(m_hWnd) ? 1 : 0; }

void CVideoWnd::OnSetCurrent(int) {}

LRESULT CVideoWnd::SendToParent(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND parent = m_hWnd != nullptr ? GetParent(m_hWnd) : nullptr;
  if (parent == nullptr) return 0;
  return SendMessageA(parent, message, wparam, lparam);
}

void CVideoWnd::OnShowNormal() {
  SendToParent(m_nClickMsg, static_cast<WPARAM>(-2), 0);
  SendToParent(m_nClickMsg, static_cast<WPARAM>(-1), 1);
}

void CVideoWnd::OnShowLarge() {
  SendToParent(m_nClickMsg, static_cast<WPARAM>(-1), 0);
  SendToParent(m_nClickMsg, static_cast<WPARAM>(m_nChannel), 1);
}

void CVideoWnd::OnShowFull() { SendToParent(m_nClickMsg, static_cast<WPARAM>(-3), m_bFull); }

void CVideoWnd::LeftDClick() {
  m_bLarge = (m_bLarge + 1) % 2;
  if (m_bLarge == 0) {
    OnShowNormal();
  } else {
    OnShowLarge();
  }
}

void CVideoWnd::OnLButtonDblClk(WPARAM wparam, LPARAM lparam) {
  LeftDClick();
  Default(WM_LBUTTONDBLCLK, wparam, lparam);
}

void CVideoWnd::OnRButtonDblClk(WPARAM wparam, LPARAM lparam) {
  m_bFull = !m_bFull;
  OnShowFull();
  Default(WM_RBUTTONDBLCLK, wparam, lparam);
}

int CVideoWnd::ButtonAt(POINT pt) const {
  if (!m_bOptionBtn) return 0;
  if (StrictlyInside(m_rcBtn[0], pt)) return 1;
  if (StrictlyInside(m_rcBtn[1], pt)) return 2;
  return 0;
}

void CVideoWnd::InvalidateButton(int button) {
  if (m_hWnd != nullptr && button >= 1 && button <= 2) {
    InvalidateRect(m_hWnd, &m_rcBtn[button - 1], TRUE);
  }
}

void CVideoWnd::InvalidateButtons() {
  InvalidateButton(1);
  InvalidateButton(2);
}

void CVideoWnd::OnLButtonDown(WPARAM wparam, LPARAM lparam) {
  m_bFocused = 1;
  OnSetCurrent(0);
  int button = ButtonAt(PointOf(lparam));
  if (button != 0) {
    m_nBtnHot = button;
    InvalidateButton(button);
  }
  Default(WM_LBUTTONDOWN, wparam, lparam);
  SetWindowFocus();
}

void CVideoWnd::OnLButtonUp(WPARAM wparam, LPARAM lparam) {
  if (m_nBtnHot == 1 || m_nBtnHot == 2) {
    int button = m_nBtnHot;
    m_nBtnHot = 0;
    InvalidateButton(button);
    SendToParent(m_nSelectMsg, static_cast<WPARAM>(m_nChannel), button + 1);
  }
  Default(WM_LBUTTONUP, wparam, lparam);
}

void CVideoWnd::OnRButtonDown(WPARAM wparam, LPARAM lparam) {
  OnSetCurrent(1);
  Default(WM_RBUTTONDOWN, wparam, lparam);
  SetWindowFocus();
}

void CVideoWnd::OnMouseMove(WPARAM wparam, LPARAM lparam) {
  int button = ButtonAt(PointOf(lparam));
  if (button != 0) {
    m_nBtnHot = button;
    InvalidateButtons();
    SetCursor(LoadCursorA(nullptr, IDC_HAND));
  } else if (m_nBtnHot != 0) {
    m_nBtnHot = 0;
    InvalidateButtons();
  }
  Default(WM_MOUSEMOVE, wparam, lparam);
}

void CVideoWnd::OnTimer(UINT_PTR id) {
  if (id != kHotTimer || m_nBtnHot == 0 || m_hWnd == nullptr) return;
  POINT cursor;
  RECT window;
  GetCursorPos(&cursor);
  GetWindowRect(m_hWnd, &window);
  POINT pt{cursor.x - window.left, cursor.y - window.top};
  if (!StrictlyInside(m_rcBtn[0], pt) && !StrictlyInside(m_rcBtn[1], pt)) {
    m_nBtnHot = 0;
    InvalidateButtons();
  }
}

void CVideoWnd::MoveVideo(const RECT& rect) {
  if (m_hWnd == nullptr) return;
  MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
  InvalidateRect(m_hWnd, nullptr, TRUE);
  if (m_bLarge == 0) m_rcNormal = rect;
}

void CVideoWnd::UpdateTitle(const char* text) { m_strTitle = text != nullptr ? text : ""; }

void CVideoWnd::ShowTitle(int) {}
void CVideoWnd::ShowBorder(int) {}
void CVideoWnd::MoveTitle(const RECT&) {}
void CVideoWnd::MoveBorder(const RECT&) {}

void CVideoWnd::CreateOptionBtn() {
  m_bOptionBtn = 1;
  if (m_hWnd != nullptr) InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CVideoWnd::DistroyOptionBtn() {
  m_bOptionBtn = 0;
  if (m_hWnd != nullptr) InvalidateRect(m_hWnd, nullptr, TRUE);
}

HBRUSH CVideoWnd::CtlColor(HDC, UINT) { return m_hBkBrush; }

void CVideoWnd::Y41PToYuy2(const BYTE* src, BYTE* dst, int width, int height) {
  pixel::Y41PToYuy2(src, dst, width, height);
}

void CVideoWnd::Y41PToYuv420p(const BYTE* src, BYTE* dst, int width, int height) {
  pixel::Y41PToYuv420p(src, dst, width, height);
}

void CVideoWnd::Yuv420pToYuy2(const BYTE* src, BYTE* dst, int width, int height) {
  pixel::Yuv420pToYuy2(src, dst, width, height);
}

void CVideoWnd::Yuv420pToYuy2_ex(const BYTE* y, const BYTE* u, const BYTE* v, BYTE* dst, int width,
                                 int height) {
  pixel::Yuv420pToYuy2_ex(y, u, v, dst, width, height);
}
