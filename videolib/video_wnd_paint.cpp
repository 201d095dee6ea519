// CVideoWnd's drawing: the title strip with its text and option buttons, the background and
// the frames that show the focus.
#include "videolib/video_wnd.h"

namespace {

// "宋体" in the program's code page (GBK).
constexpr char kSongFace[] = "\xCB\xCE\xCC\xE5";
constexpr int kTitleBitmapWidth = 109;
constexpr int kTitleFontHeight = 13;

void FillWith(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void FrameWith(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FrameRect(dc, &rect, brush);
  DeleteObject(brush);
}

// Draws `width` x `height` of `bitmap` from (src_x, 0), stretched to the destination.
void DrawBitmapPart(HDC dc, HDC mem, HBITMAP bitmap, const RECT& dst, int src_x, int width,
                    int height) {
  if (bitmap == nullptr || mem == nullptr) return;
  HGDIOBJ old = SelectObject(mem, bitmap);
  StretchBlt(dc, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top, mem, src_x, 0,
             width, height, SRCCOPY);
  SelectObject(mem, old);
}

// The whole window in its own coordinates.
RECT WindowBox(HWND hwnd) {
  RECT r{0, 0, 0, 0};
  GetWindowRect(hwnd, &r);
  return RECT{0, 0, r.right - r.left, r.bottom - r.top};
}

}  // namespace

bool CVideoWnd::FramesEnabled() const {
#if VIDEOLIB_GDI_TEXT
  return m_bFocusEn != 0;
#else
  return true;
#endif
}

void CVideoWnd::FrameWindowRect(const RECT& rect, COLORREF color) {
  if (m_hWnd == nullptr || !FramesEnabled()) return;
  HDC dc = GetWindowDC(m_hWnd);
  if (dc == nullptr) return;
  FrameWith(dc, rect, color);
  ReleaseDC(m_hWnd, dc);
}

void CVideoWnd::SetWindowFocus() {
  m_bFocused = 1;
  if (m_hWnd != nullptr) FrameWindowRect(WindowBox(m_hWnd), m_crFocusWin);
  UpdateBack();
}

void CVideoWnd::KillWindowFocus() {
  m_bFocused = 0;
  if (m_hWnd != nullptr) FrameWindowRect(WindowBox(m_hWnd), m_crVideoWin);
  UpdateBack();
}

void CVideoWnd::UpdateBack() {
  if (m_hWnd == nullptr) return;
  RECT inner = WindowBox(m_hWnd);
  InflateRect(&inner, -1, -1);
  FrameWindowRect(inner, m_bFocused ? m_crFocusWin : m_crVideoWin);
}

void CVideoWnd::PaintTitle(HDC dc, const RECT& client) {
  HDC mem = CreateCompatibleDC(dc);
  RECT strip{client.left, client.top, client.right, client.top + kTitleHeight};
  DrawBitmapPart(dc, mem, m_hTitleBmp, strip, 0, kTitleBitmapWidth, kTitleHeight);
  // The buttons sit at the strip's right end; their places are kept for the mouse.
  m_rcBtn[0] = RECT{client.right - 2 * kButtonSize, client.top, client.right - kButtonSize,
                    client.top + kButtonSize};
  m_rcBtn[1] = RECT{client.right - kButtonSize, client.top, client.right, client.top + kButtonSize};
  if (m_bOptionBtn && client.right > client.left) {
    HFONT font = CreateFontA(kTitleFontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, kSongFace);
    HGDIOBJ old_font = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 2, 3, m_strTitle.c_str(), static_cast<int>(m_strTitle.size()));
    SelectObject(dc, old_font);
    DeleteObject(font);
    DrawBitmapPart(dc, mem, m_hBtnBmp, m_rcBtn[0], m_nBtnHot == 1 ? kButtonSize : 0, kButtonSize,
                   kButtonSize);
#if !VIDEOLIB_GDI_TEXT
    DrawBitmapPart(dc, mem, m_hBtnBmp2, m_rcBtn[1], m_nBtnHot == 2 ? kButtonSize : 0, kButtonSize,
                   kButtonSize);
#endif
  }
  if (mem != nullptr) DeleteDC(mem);
}

void CVideoWnd::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(m_hWnd, &client);
  if (m_bTitle) {
    PaintTitle(dc, client);
    RECT below = client;
    below.top += kTitleHeight;
    if (below.bottom > below.top) FillWith(dc, below, m_crVideoWin);
  } else {
    // Without a strip there are no buttons for the mouse to find.
    m_rcBtn[0] = m_rcBtn[1] = RECT{0, 0, 0, 0};
    FillWith(dc, client, m_crVideoWin);
  }
  UpdateBack();
  if (FramesEnabled()) FrameWith(dc, client, m_bFocused ? m_crFocusWin : m_crVideoWin);
  EndPaint(m_hWnd, &ps);
}

void CVideoWnd::OnNcPaint() {
  RECT box = WindowBox(m_hWnd);
  if (m_bFocused) {
    FrameWindowRect(box, m_crFocusWin);
  } else {
    FrameWindowRect(box, m_crVideoWin);
    RECT inner = box;
    InflateRect(&inner, -1, -1);
    FrameWindowRect(inner, m_crVideoWin);
  }
  UpdateBack();
}
