#pragma once
// CBitmapBtn: a push button drawn from bitmaps, one for each state (normal, hover, pressed,
// disabled), with an alternate normal/hover pair for buttons that show a second face (the
// relays), an optional centred caption, a tooltip and an optional shape.
//
// It handles the mouse itself, whatever class its window is: a press inside takes the
// capture; a release inside sends BN_CLICKED (WM_COMMAND) to the parent. The PTZ buttons (IDs
// kPtzFirstId..kPtzLastId) also send kMsgPtzPress on the press and kMsgPtzRelease on a
// release inside, both with the ID in wParam; a release outside sends neither. A PTZ button
// that is still pressed when it loses the mouse capture some other way (taken by another
// window, WM_CANCELMODE, disabled) never sees the release, so it sends kMsgPtzRelease then:
// no lost release leaves a camera moving. A disabled
// button shows its disabled bitmap and sends nothing. With the focus, Space works it as the
// left button does. Hover is tracked by holding the capture
// while the cursor is inside and letting it go when it leaves.
//
// A shaped button's window stays rectangular; its pixels of the transparent colour show the
// parent's background and take no presses.

#include <memory>
#include <string>
#include <vector>

#include "device/widgets/wnd.h"
#include "platform/gdi/gdi.h"

namespace device::widgets {

class CBitmapBtn : public CWnd {
 public:
  CBitmapBtn() = default;
  ~CBitmapBtn() override;

  // Bitmap numbers in the order normal, hover, pressed, disabled (0: the normal one). The
  // button takes the normal bitmap's size. False when the normal bitmap is missing.
  BOOL LoadBitmaps(UINT normal, UINT hover = 0, UINT pressed = 0, UINT disabled = 0);
  BOOL LoadAlternateBitmaps(UINT normal, UINT hover = 0);
  void SetUseAlternate(bool use);
  bool UseAlternate() const { return use_alternate_; }
  // Leaves out the normal bitmap's pixels of `transparent` (see above).
  void SetShape(COLORREF transparent);
  void SetCaption(const std::string& text, bool draw = true);
  void SetCaptionColors(COLORREF normal, COLORREF pressed);
  void SetTooltipText(const std::string& text);
  // A document opened with the shell's "open" verb on each click.
  void SetDocumentPath(const std::string& path) { document_ = path; }

  bool hover() const { return hover_; }
  bool pressed() const { return pressed_; }
  HWND tooltip() const { return tooltip_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  bool Inside(int x, int y) const;
  bool IsPtz() const;
  void Paint();
  void OnMouseMove(int x, int y);
  void OnButtonDown(int x, int y);
  void OnButtonUp(int x, int y);
  void OnSpace(bool down);
  void Click();
  // Ends a press whose release this button will not see; a PTZ button tells its parent.
  void EndPressUnseen();
  void Relay(UINT message, WPARAM wparam, LPARAM lparam);
  HBITMAP Current() const;
  void FreeBitmaps();

  HBITMAP bitmaps_[4] = {};    // normal, hover, pressed, disabled
  HBITMAP alternate_[2] = {};  // normal, hover
  bool use_alternate_ = false;
  bool hover_ = false;
  bool pressed_ = false;
  bool key_down_ = false;  // Space held on it
  bool shaped_ = false;
  // The shape: solid pixels row by row, and the runs of them to copy when painting.
  std::vector<bool> solid_;
  std::vector<RECT> runs_;
  int shape_width_ = 0;
  std::string caption_;
  bool draw_caption_ = false;
  COLORREF caption_normal_ = RGB(255, 255, 255);
  COLORREF caption_pressed_ = RGB(0, 170, 255);
  HFONT font_ = nullptr;
  HWND tooltip_ = nullptr;
  std::string document_;
};

}  // namespace device::widgets
