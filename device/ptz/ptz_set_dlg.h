#pragma once
// CPtzSetDlg: the PTZ settings dialog (169), titled "ptz settings": a channel's serial PTZ
// parameters (protocol, address, control speed, baud rate). It asks the DVR for the selected
// channel's settings when it opens and whenever the channel changes, and sends the five
// selections on "ok" (it stays open); "cancel" closes it. The panel opens it modally, right
// above its "ptz config" button, and while it is open the panel's receive thread forwards the
// replies to command 27 (message kMsgPtzConfig). A get reply for another channel than the
// selected one, or with values outside the combos, changes nothing; a set's confirmation shows
// "setting success!", a reply of any other operation "setting failed,please try again".
//
// The NPAPI plug-in's build (DEVICE_NPAPI_BUILD=1) has other combo box IDs.
//
// Threads: the dialog lives on the window thread; ForwardPtzConfig is the receive thread's
// and only posts.

#include <string>

#include "device/protocol/messages.h"
#include "device/widgets/bitmap_btn.h"
#include "device/widgets/color_static.h"
#include "platform/net/net.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/ui_types.h"

namespace device::ptz {

// What the panel hands the dialog.
struct PtzSetSettings {
  std::string dvrAddr;
  SOCKET sock = INVALID_SOCKET;  // the panel's; its receive thread reads the replies
  int channelCount = 4;
  int commandPort = kCommandPort;
  // In desktop coordinates: the dialog's right edge goes on the panel's, its bottom 2 pixels
  // above the button's top. Empty rectangles: centred on the owner instead.
  RECT panel{0, 0, 0, 0};
  RECT configButton{0, 0, 0, 0};
};

class CPtzSetDlg {
 public:
  static constexpr int kDialogId = 169;
  // From the receive thread: the 6 reply bytes, PackPtzConfig's words.
  static constexpr UINT kMsgPtzConfig = 1329;

  explicit CPtzSetDlg(PtzSetSettings settings) : settings_(std::move(settings)) {}
  ~CPtzSetDlg();
  CPtzSetDlg(const CPtzSetDlg&) = delete;
  CPtzSetDlg& operator=(const CPtzSetDlg&) = delete;

  // Runs it modally over `owner`; the dialog's result, -1 when it cannot be made.
  INT_PTR DoModal(HWND owner);
  // Creates it modeless and shown (tests drive it so). Closing destroys it.
  bool Create(HWND owner);

  void OnOk();
  HWND m_hWnd = nullptr;

 private:
  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void Place();
  void FillCombos();
  void Get();
  void OnReply(const PtzConfig& reply);
  int Selected(int combo) const;
  void Send(const PtzConfig& config);
  void Close(INT_PTR result);
  void Unregister();

  PtzSetSettings settings_;
  bool modal_ = false;
  HBRUSH background_ = nullptr;
  widgets::CColorStatic labels_[5];
  widgets::CBitmapBtn buttons_[2];
};

// The 6 bytes of a reply as the message's two words, and back.
void PackPtzConfig(const PtzConfig& config, WPARAM* wparam, LPARAM* lparam);
PtzConfig UnpackPtzConfig(WPARAM wparam, LPARAM lparam);

// The panel's receive thread: a reply for the open settings dialog, posted to it; dropped
// when none is open.
void ForwardPtzConfig(const PtzConfig& config);
// The open settings dialog's window; null when none is open.
HWND PtzSetWindow();

}  // namespace device::ptz
