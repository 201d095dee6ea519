#pragma once
// CBitmapSlider: a slider drawn from a channel bitmap (stretched along the axis between the
// margins) and a thumb bitmap. The position always lies in the range; a range given with its
// maximum below its minimum is taken between the two ends, and an empty range holds only its
// minimum.
//
// To the parent, with the slider's ID in wParam and the position in lParam: kMsgSliderMoving
// on a press that moved the thumb and on every change while dragging, kMsgSliderReleased on
// the release. A press also stops the parent's timer kPlaybackTimerId. The arrow keys, Page
// Up/Down, Home and End move it too, each move reported as a press and a release would be.
// A disabled slider ignores the mouse and the keys. It answers the standard slider's TBM_GETPOS,
// TBM_SETPOS, TBM_GETRANGEMIN/MAX, TBM_SETRANGE(MIN/MAX), TBM_GETTHUMBRECT and
// TBM_GETCHANNELRECT (the span the thumb's middle travels); TBM_SETPOS reports nothing.

#include "device/widgets/wnd.h"
#include "platform/gdi/gdi.h"

namespace device::widgets {

class CBitmapSlider : public CWnd {
 public:
  ~CBitmapSlider() override;

  BOOL SetBitmapChannel(UINT id);
  BOOL SetBitmapThumb(UINT id);
  void SetVertical(bool vertical);
  void SetRange(int min, int max, bool redraw = true);
  void SetPos(int pos);
  int GetPos() const { return pos_; }
  int GetRangeMin() const { return min_; }
  int GetRangeMax() const { return max_; }
  // Pixels kept free at the start and the end of the axis.
  void SetMargin(int start, int end);
  bool dragging() const { return dragging_; }

  // Where the thumb's leading edge is drawn for a position, in client pixels along the axis.
  int PixelOf(int pos) const;
  // The position for the thumb's leading edge at `pixel`.
  int PosAt(int pixel) const;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  // A dialog's static control lets the mouse through unless it has SS_NOTIFY.
  void PreSubclassWindow() override;

 private:
  int Length() const;
  int Breadth() const;
  SIZE ThumbSize() const;
  int ThumbLength() const { return vertical_ ? ThumbSize().cy : ThumbSize().cx; }
  void Paint();
  void OnButtonDown(int along);
  void OnMouseMove(int along);
  void OnButtonUp();
  void OnKey(UINT key);
  bool MoveTo(int pos);
  void Tell(UINT message);
  LRESULT OnTrackbarMessage(UINT message, WPARAM wparam, LPARAM lparam);
  RECT TrackRect(bool thumb) const;

  HBITMAP channel_ = nullptr;
  HBITMAP thumb_ = nullptr;
  bool vertical_ = false;
  int min_ = 0;
  int max_ = 100;
  int pos_ = 0;
  int margin_start_ = 0;
  int margin_end_ = 0;
  bool dragging_ = false;
  int grab_ = 0;  // from the thumb's leading edge to the point that holds it
};

}  // namespace device::widgets
