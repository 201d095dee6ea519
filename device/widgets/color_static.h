#pragma once
// CColorStatic: a label with its own text colour and background colour (0xF0F0F0 until set),
// or with the parent's background behind the text when set transparent, as the dialogs' white
// labels on the dark background are.

#include <string>

#include "device/widgets/wnd.h"
#include "platform/gdi/gdi.h"

namespace device::widgets {

class CColorStatic : public CWnd {
 public:
  void SetTextColor(COLORREF color);
  void SetBkColor(COLORREF color);
  void SetTransparent(bool transparent);
  void SetText(const std::string& text) { SetWindowText(text.c_str()); }
  COLORREF text_color() const { return text_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint();

  COLORREF text_ = RGB(0, 0, 0);
  COLORREF back_ = 0xF0F0F0;
  bool transparent_ = false;
  HFONT font_ = nullptr;
};

}  // namespace device::widgets
