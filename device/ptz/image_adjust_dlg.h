#pragma once
// imageadjust: the picture adjustment dialog (315), titled "Image adjust": colour, contrast,
// luminance and saturation of one channel on four bitmap sliders, six mode buttons that set
// all four at once, and "copy" of the current values to the checked channels. Every change is
// sent at once (command 56 set, on a slider's release or a mode button); the selected
// channel's settings are read when the dialog opens and whenever the channel changes.
//
// It has a UDP socket of its own, opened with the dialog and closed with it, and reads the
// DVR's answer to a get synchronously: the window thread blocks up to 2 s per read, then the
// whole window is repainted at once. An answer that arrives after its wait is thrown away
// before the next get, so it cannot be taken for another channel's. Without an answer the
// sliders keep their positions; a get that could not be sent is not waited for.
//
// Threads: the window thread only.

#include <string>

#include "device/protocol/messages.h"
#include "device/ptz/ptz_values.h"
#include "device/widgets/bitmap_btn.h"
#include "device/widgets/bitmap_slider.h"
#include "device/widgets/check_btn.h"
#include "device/widgets/color_static.h"
#include "platform/net/net.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/ui_types.h"

namespace device::ptz {

// What the panel hands the dialog.
struct ImageAdjustSettings {
  std::string dvrAddr;
  int channelCount = 4;  // 4: the boxes of channels 5 to 8 are hidden, "copy" moves up
  int commandPort = kCommandPort;
};

class imageadjust {
 public:
  static constexpr int kDialogId = 315;
  static constexpr int kReadSeconds = 2;
  static constexpr int kReplyBytes = 80;
  static constexpr int kCopyRaise = 30;  // pixels "copy" moves up with four channels

  explicit imageadjust(ImageAdjustSettings settings) : settings_(std::move(settings)) {}
  ~imageadjust();
  imageadjust(const imageadjust&) = delete;
  imageadjust& operator=(const imageadjust&) = delete;

  // Runs it modally over `owner`; the dialog's result, -1 when it cannot be made.
  INT_PTR DoModal(HWND owner);
  // Creates it modeless and shown (tests drive it so). Closing destroys it.
  bool Create(HWND owner);

  // What the controls do.
  void ReadSettings();
  void OnSliderReleased(int sliderId, int pos);
  void OnPreset(int buttonId);
  void OnCopy();
  void OnAll();

  ImageValues Values() const;
  SOCKET socket() const { return sock_; }
  HWND m_hWnd = nullptr;

 private:
  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void SetUpLabels();
  void SetUpSliders();
  void SetUpButtons();
  void SetUpChecks();
  void OnCommand(int id, int code);
  void Show(const ImageValues& values);
  void Send(int channel, const ImageValues& values);
  int SelectedChannel() const;
  void Drain();
  void Close(INT_PTR result);
  void CloseSocket();

  ImageAdjustSettings settings_;
  bool modal_ = false;
  SOCKET sock_ = INVALID_SOCKET;
  HBRUSH background_ = nullptr;
  widgets::CColorStatic labels_[8];  // channel, the four settings, mode, copy to, unused
  widgets::CColorStatic values_[kImageValues];
  widgets::CBitmapSlider sliders_[kImageValues];
  widgets::CBitmapBtn buttons_[kImagePresetCount + 1];  // the modes, then "copy"
  widgets::CCheckBtn checks_[9];                        // channels 1 to 8, then "all"
};

}  // namespace device::ptz
