#pragma once
// CCheckBtn: a check box drawn in the dialogs' look: a box and white text on the parent's
// background. A click (or Space) toggles it and sends BN_CLICKED to the parent; BM_GETCHECK
// and BM_SETCHECK read and set it, so the dialog calls on check boxes work on it.

#include <string>

#include "device/widgets/wnd.h"
#include "platform/gdi/gdi.h"

namespace device::widgets {

class CCheckBtn : public CWnd {
 public:
  void SetCheck(bool checked);
  bool GetCheck() const { return checked_; }
  void SetText(const std::string& text);
  void SetTextFont(HFONT font);  // not owned

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint();
  void Toggle();

  bool checked_ = false;
  bool pressed_ = false;
  HFONT font_ = nullptr;
};

}  // namespace device::widgets
