#pragma once
// CCapDirDlg: the capture directory dialog (253; 200 in the NPAPI build), titled "capture
// dir". It shows the video library's capture path, lets the person browse for a folder
// ("Select Dir"), and on OK hands the edited path to the control, which gives it to the
// library and keeps it in "config.txt"; without a control it says "setting failed,please try
// again". It closes on OK in both cases.

#include <string>

#include "device/panel/panel_host.h"
#include "device/widgets/bitmap_btn.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/ui_types.h"

namespace device::panel {

class CCapDirDlg {
 public:
  // `host` null: no control.
  explicit CCapDirDlg(PanelHost* host) : host_(host) {}
  // Runs the dialog over `owner`; IDOK or IDCANCEL, -1 when it cannot be made.
  INT_PTR DoModal(HWND owner);

 private:
  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void OnBrowse();
  void OnOk();

  PanelHost* host_;
  HWND m_hWnd = nullptr;
  HBRUSH background_ = nullptr;
  widgets::CBitmapBtn buttons_[3];  // browse, OK, cancel
};

}  // namespace device::panel
