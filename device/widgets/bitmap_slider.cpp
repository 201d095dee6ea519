#include "device/widgets/bitmap_slider.h"

#include <algorithm>
#include <utility>

#include "device/widgets/mem_dc.h"
#include "device/widgets/widget_art.h"
#include "device/widgets/widget_theme.h"
#include "platform/ui/commctrl.h"

namespace device::widgets {
namespace {

SIZE SizeOf(HBITMAP bitmap) {
  BITMAP bm{};
  if (bitmap == nullptr || !GetObjectA(bitmap, sizeof bm, &bm)) return SIZE{0, 0};
  return SIZE{bm.bmWidth, bm.bmHeight};
}

}  // namespace

CBitmapSlider::~CBitmapSlider() {
  UnsubclassWindow();
  DeleteObject(channel_);
  DeleteObject(thumb_);
}

BOOL CBitmapSlider::SetBitmapChannel(UINT id) {
  HBITMAP b = LoadWidgetBitmap(id);
  if (b == nullptr) return FALSE;
  DeleteObject(std::exchange(channel_, b));
  if (m_hWnd != nullptr) Invalidate(FALSE);
  return TRUE;
}

BOOL CBitmapSlider::SetBitmapThumb(UINT id) {
  HBITMAP b = LoadWidgetBitmap(id);
  if (b == nullptr) return FALSE;
  DeleteObject(std::exchange(thumb_, b));
  if (m_hWnd != nullptr) Invalidate(FALSE);
  return TRUE;
}

void CBitmapSlider::PreSubclassWindow() {
  SetWindowLongPtrA(m_hWnd, GWL_STYLE, GetWindowLongPtrA(m_hWnd, GWL_STYLE) | SS_NOTIFY);
}

void CBitmapSlider::SetVertical(bool vertical) {
  vertical_ = vertical;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CBitmapSlider::SetRange(int min, int max, bool redraw) {
  if (max < min) std::swap(min, max);
  min_ = min;
  max_ = max;
  pos_ = std::clamp(pos_, min_, max_);
  if (redraw && m_hWnd != nullptr) Invalidate(FALSE);
}

void CBitmapSlider::SetPos(int pos) {
  pos = std::clamp(pos, min_, max_);
  if (pos == pos_) return;
  pos_ = pos;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CBitmapSlider::SetMargin(int start, int end) {
  margin_start_ = std::max(start, 0);
  margin_end_ = std::max(end, 0);
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

int CBitmapSlider::Length() const {
  RECT client;
  GetClientRect(&client);
  return vertical_ ? client.bottom : client.right;
}

int CBitmapSlider::Breadth() const {
  RECT client;
  GetClientRect(&client);
  return vertical_ ? client.right : client.bottom;
}

SIZE CBitmapSlider::ThumbSize() const { return SizeOf(thumb_); }

int CBitmapSlider::PixelOf(int pos) const {
  int usable = std::max(Length() - margin_start_ - margin_end_ - ThumbLength(), 0);
  if (max_ == min_) return margin_start_;
  long long offset = static_cast<long long>(std::clamp(pos, min_, max_) - min_) * usable;
  return margin_start_ + static_cast<int>(offset / (static_cast<long long>(max_) - min_));
}

int CBitmapSlider::PosAt(int pixel) const {
  int usable = Length() - margin_start_ - margin_end_ - ThumbLength();
  if (usable <= 0 || max_ == min_) return min_;
  long long offset = std::clamp(pixel - margin_start_, 0, usable);
  long long span = static_cast<long long>(max_) - min_;
  return min_ + static_cast<int>((offset * span + usable / 2) / usable);
}

void CBitmapSlider::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(&client);
  {
    CMemDC mem(dc, client);
    FillParentBackground(m_hWnd, mem, client, WM_CTLCOLORSTATIC);
    HDC src = CreateCompatibleDC(mem);
    if (channel_ != nullptr) {
      SIZE c = SizeOf(channel_);
      HGDIOBJ old = SelectObject(src, channel_);
      int along = std::max(Length() - margin_start_ - margin_end_, 0);
      if (vertical_) {
        int x = (Breadth() - c.cx) / 2;
        StretchBlt(mem, x, margin_start_, c.cx, along, src, 0, 0, c.cx, c.cy, SRCCOPY);
      } else {
        int y = (Breadth() - c.cy) / 2;
        StretchBlt(mem, margin_start_, y, along, c.cy, src, 0, 0, c.cx, c.cy, SRCCOPY);
      }
      SelectObject(src, old);
    }
    if (thumb_ != nullptr) {
      SIZE t = ThumbSize();
      HGDIOBJ old = SelectObject(src, thumb_);
      int lead = PixelOf(pos_);
      int across = (Breadth() - (vertical_ ? t.cx : t.cy)) / 2;
      BitBlt(mem, vertical_ ? across : lead, vertical_ ? lead : across, t.cx, t.cy, src, 0, 0,
             SRCCOPY);
      SelectObject(src, old);
    }
    DeleteDC(src);
    if (GetFocus() == m_hWnd) {
      RECT focus = client;
      DrawFocusRect(mem, &focus);
    }
  }
  EndPaint(m_hWnd, &ps);
}

void CBitmapSlider::Tell(UINT message) {
  SendMessageA(GetParent(), message, static_cast<WPARAM>(GetDlgCtrlID()), pos_);
}

bool CBitmapSlider::MoveTo(int pos) {
  int before = pos_;
  SetPos(pos);
  return pos_ != before;
}

void CBitmapSlider::OnButtonDown(int along) {
  if (!IsWindowEnabled()) return;
  if (GetFocus() != m_hWnd) SetFocus(m_hWnd);
  KillTimer(GetParent(), kPlaybackTimerId);
  SetCapture(m_hWnd);
  dragging_ = true;
  int lead = PixelOf(pos_);
  int length = ThumbLength();
  if (along >= lead && along < lead + length) {
    grab_ = along - lead;
    return;
  }
  grab_ = length / 2;  // a press on the channel brings the thumb's middle there
  if (MoveTo(PosAt(along - grab_))) Tell(kMsgSliderMoving);
}

void CBitmapSlider::OnMouseMove(int along) {
  if (!dragging_) return;
  if (MoveTo(PosAt(along - grab_))) Tell(kMsgSliderMoving);
}

void CBitmapSlider::OnButtonUp() {
  if (!dragging_) return;
  dragging_ = false;
  if (GetCapture() == m_hWnd) ReleaseCapture();
  Invalidate(FALSE);
  Tell(kMsgSliderReleased);
}

void CBitmapSlider::OnKey(UINT key) {
  if (!IsWindowEnabled()) return;
  int page = std::max((max_ - min_) / 10, 1);
  int to = pos_;
  switch (key) {
    case VK_LEFT:
    case VK_UP:
      to = pos_ - 1;
      break;
    case VK_RIGHT:
    case VK_DOWN:
      to = pos_ + 1;
      break;
    case VK_PRIOR:
      to = pos_ - page;
      break;
    case VK_NEXT:
      to = pos_ + page;
      break;
    case VK_HOME:
      to = min_;
      break;
    case VK_END:
      to = max_;
      break;
    default:
      return;
  }
  if (!MoveTo(to)) return;
  Tell(kMsgSliderMoving);
  Tell(kMsgSliderReleased);
}

LRESULT CBitmapSlider::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  int along = vertical_ ? GET_Y_LPARAM(lparam) : GET_X_LPARAM(lparam);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(along);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(along);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp();
      return 0;
    case WM_CAPTURECHANGED:
      // Losing the mouse mid-drag ends the drag as a release would, so the parent learns
      // where the thumb was left.
      if (dragging_ && reinterpret_cast<HWND>(lparam) != m_hWnd) OnButtonUp();
      return 0;
    case WM_KEYDOWN:
      OnKey(static_cast<UINT>(wparam));
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      Invalidate(FALSE);
      return 0;
    case TBM_GETPOS:
    case TBM_GETRANGEMIN:
    case TBM_GETRANGEMAX:
    case TBM_SETPOS:
    case TBM_SETRANGE:
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX:
    case TBM_GETTHUMBRECT:
    case TBM_GETCHANNELRECT:
      return OnTrackbarMessage(message, wparam, lparam);
    default:
      return CWnd::WindowProc(message, wparam, lparam);
  }
}

// The standard slider's messages, so that dialog code and scripted input drive this one the
// same way. TBM_SETRANGE's ends are signed 16-bit words, as the standard slider reads them.
LRESULT CBitmapSlider::OnTrackbarMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case TBM_GETPOS:
      return pos_;
    case TBM_GETRANGEMIN:
      return min_;
    case TBM_GETRANGEMAX:
      return max_;
    case TBM_SETPOS:
      SetPos(static_cast<int>(lparam));
      return 0;
    case TBM_SETRANGE:
      SetRange(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)), wparam != 0);
      return 0;
    case TBM_SETRANGEMIN:
      SetRange(static_cast<int>(lparam), max_, wparam != 0);
      return 0;
    case TBM_SETRANGEMAX:
      SetRange(min_, static_cast<int>(lparam), wparam != 0);
      return 0;
    case TBM_GETTHUMBRECT:
    case TBM_GETCHANNELRECT:
      if (lparam != 0) *reinterpret_cast<RECT*>(lparam) = TrackRect(message == TBM_GETTHUMBRECT);
      return 0;
    default:
      return 0;
  }
}

// The thumb's rectangle, or the channel's as the span the thumb's middle travels: a press on
// the thumb's middle dragged to a point of that span leaves the position of that point.
RECT CBitmapSlider::TrackRect(bool thumb) const {
  SIZE t = ThumbSize();
  int breadth = Breadth();
  int across = (breadth - (vertical_ ? t.cx : t.cy)) / 2;
  int start = thumb ? PixelOf(pos_) : margin_start_ + ThumbLength() / 2;
  int end = thumb ? start + ThumbLength() : PixelOf(max_) + ThumbLength() / 2;
  int low = thumb ? across : 0;
  int high = thumb ? across + (vertical_ ? t.cx : t.cy) : breadth;
  return vertical_ ? RECT{low, start, high, end} : RECT{start, low, end, high};
}

}  // namespace device::widgets
