#pragma once
// CRightPlanDlg: the control panel, the column of buttons the viewer control docks in the
// 170-pixel strip beside its grid (dialog 103, captionless, 117 x 540 dialog units). It holds
// the PTZ buttons and presets, opens the other dialogs, refreshes the information panel over
// the pictures (on "refresh code" and every 10 s), switches the DVR's two relay outputs, starts
// and stops live preview and sets the capture directory. It owns the UDP command socket and
// its receive thread, which dispatches every reply of the DVR.
//
// A PTZ button sends its action (command 26) when pressed and the stop when released inside;
// a button that loses the mouse while still pressed sends the stop too (bitmap_btn.h), and so
// does closing the panel in the middle of a movement, so that no lost release leaves a camera
// moving. A release outside the button sends nothing, and the movement goes on until "stop".
//
// The NPAPI plug-in's build (DEVICE_NPAPI_BUILD=1) has no relay and no capture directory
// button, its refresh button is 1030, and relay replies show "unknow type" there.
//
// Threads: the panel lives on the control's window thread. The receive thread calls the
// PanelReplySink side and reaches the window only by posted messages; the relay mask is
// written on the window thread and read by both.

#include <cstdint>
#include <memory>
#include <string>

#include "device/panel/panel_host.h"
#include "device/widgets/bitmap_btn.h"
#include "device/widgets/color_static.h"
#include "platform/net/net.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/ui_types.h"

class PanelReceiver;

namespace device::panel {

// What the control hands the panel when it creates it.
struct PanelSettings {
  std::string dvrAddr;
  int channelCount = 0;
  int preview = 0;     // whether the control started live video
  int relayState = 0;  // the page's "RelayState": the relay mask to start from
};

class CRightPlanDlg {
 public:
  static constexpr int kDialogId = 103;
  static constexpr UINT_PTR kStatusTimer = 111;
  static constexpr UINT kStatusPeriodMs = 10000;
  static constexpr int kPanelWidth = 170;  // pixels of the strip it is docked in
  // Posted by the receive thread to the panel's window.
  static constexpr UINT kMsgRelaySwitched = WM_USER + 310;
  static constexpr UINT kMsgShowText = WM_USER + 311;  // wParam: the text's ID

  // `host` (null: no control, as when one is gone) must outlive the panel.
  explicit CRightPlanDlg(PanelHost* host);
  ~CRightPlanDlg();
  CRightPlanDlg(const CRightPlanDlg&) = delete;
  CRightPlanDlg& operator=(const CRightPlanDlg&) = delete;

  // Creates the panel, hidden, as a child of `parent` and opens it: bitmaps, tooltips,
  // presets, relay buttons, the socket, the receive thread and timer 111. False when the
  // window cannot be made (a panel without a socket still works, sending nothing).
  bool Create(HWND parent, const PanelSettings& settings);
  // Places it in the strip at the right of `parent`'s client area, full height.
  void Dock();
  // Releases what the panel opened: the receive thread (waited for: it looks at its closing
  // flag at least once a second), the socket and the timer. The window stays: its owner
  // destroys it.
  void Close();

  HWND m_hWnd = nullptr;
  SOCKET socket() const { return sock_; }
  bool preview() const { return preview_; }
  const PanelReceiver* receiver() const;

  // The process-wide relay mask: bit 0 output 1, bit 1 output 2.
  static int CurrentRelayMask();

  // Before Create: the DVR's command port (2700 unless a simulator moved it), and a test's
  // refresh period.
  void SetCommandPort(int port) { port_ = port; }
  void SetStatusPeriodForTest(UINT ms) { statusPeriodMs_ = ms; }

 private:
  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void SetUpPtzButtons();
  void SetUpPresets();
  void SetUpTextButtons();
  void OpenSocket();
  void OnCommand(int id);
  void OnRefresh(int kind);
  void OnRelayButton(int bit);
  void ShowRelayButtons();
  void OnPreview();
  void OnCaptureDir();
  void OnPtzButton(int id, bool pressed);
  void SendPtz(uint8_t action);
  void OnPtzSettings();
  void OnRecordSearch();
  void OnImageAdjust();

  PanelHost* host_;
  PanelSettings settings_;
  HBRUSH background_ = nullptr;
  HFONT smallFont_ = nullptr;
  widgets::CBitmapBtn ptz_[15];
  widgets::CBitmapBtn presets_[3];
  widgets::CBitmapBtn texts_[6];
  widgets::CBitmapBtn relays_[2];
  widgets::CColorStatic presetLabel_;
  SOCKET sock_ = INVALID_SOCKET;
  bool socketLibrary_ = false;
  // The receive thread and the side of the panel it calls (right_plan_dlg.cpp).
  struct Receiver;
  std::unique_ptr<Receiver> receiver_;
  bool preview_ = false;
  bool moving_ = false;  // a PTZ button's action sent and its stop not yet
  bool closed_ = false;
  int port_ = 2700;  // the DVR's command port
  UINT statusPeriodMs_ = kStatusPeriodMs;
};

}  // namespace device::panel
