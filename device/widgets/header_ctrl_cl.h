#pragma once
// CHeaderCtrlCl: a list's header painted in the dialogs' colours: a fill colour (the dialogs'
// background), white titles in "Arial", each aligned as its column, at a height of its own.

#include "device/widgets/wnd.h"
#include "platform/gdi/gdi.h"

namespace device::widgets {

class CHeaderCtrlCl : public CWnd {
 public:
  ~CHeaderCtrlCl() override;

  void SetBkColor(COLORREF color);
  void SetTextColor(COLORREF color);
  void SetFontHeight(int height);
  // 0: the font's height and a margin.
  void SetHeight(int height);
  COLORREF bk_color() const { return back_; }
  COLORREF text_color() const { return text_; }
  int Height() const;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint();
  void Relayout();

  COLORREF back_ = RGB(32, 48, 64);
  COLORREF text_ = RGB(255, 255, 255);
  HFONT font_ = nullptr;
  int font_height_ = 15;
  int height_ = 0;
};

}  // namespace device::widgets
