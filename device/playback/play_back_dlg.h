#pragma once
// CPlayBackDlg: the playback of one recording (dialog 171, "play back"), a resizable modal
// dialog with the playback channel's video over all but its bottom 100 pixels, a position
// slider, a "m:ss/m:ss" label and three buttons: pause/play, capture, capture directory. The
// stream is the control's playback session on the recording's URL; timer 110 follows it
// every 500 ms, ends the dialog with "End Video Playback!" when the recording has played
// through and with "Playback failed!" when the session ended before.
//
// Seeks: the slider reports every change of position while it is dragged, and each change
// asks for a seek (a PAUSE and a PLAY from the position). They run on the dialog's SeekQueue:
// while one is in flight a newer position replaces the one waiting, so requests never pile
// up and the last position is the one played. While a seek is under way the label shows the
// position it goes to.
//
// Threads: the dialog lives on the control's window thread; only the seeks run on the
// queue's thread, which the dialog stops before the playback is destroyed.

#include <memory>
#include <string>

#include "device/playback/playback_host.h"
#include "device/playback/seek_queue.h"
#include "device/widgets/bitmap_btn.h"
#include "device/widgets/bitmap_slider.h"
#include "device/widgets/color_static.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/ui_types.h"

struct RecordEntry;

namespace device::playback {

class CPlayBackDlg {
 public:
  static constexpr int kDialogId = 171;
  static constexpr UINT_PTR kTimerId = 110;
  static constexpr UINT kTimerMs = 500;
  static constexpr int kVideoBottomMargin = 100;

  // `host` null: no control to play with (the dialog says so and stays without video).
  CPlayBackDlg(PlaybackHost* host, std::string url);
  ~CPlayBackDlg();
  CPlayBackDlg(const CPlayBackDlg&) = delete;
  CPlayBackDlg& operator=(const CPlayBackDlg&) = delete;

  // Runs it modally over `owner`; -1 when it cannot be made.
  INT_PTR DoModal(HWND owner);
  // Creates it modeless and shown (benchmarks and tools drive it so); its ends destroy it.
  bool Create(HWND owner);

  HWND m_hWnd = nullptr;
  const std::string& url() const { return url_; }
  bool paused() const { return paused_; }
  // Seeks run so far (each a PAUSE and a PLAY).
  uint64_t seeksExecuted() const { return seeks_ ? seeks_->Executed() : 0; }

 private:
  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void SetUpButtons();
  void OnTimer();
  void OnPausePlay();
  void OnSeek(int seconds);
  void OnCapture();
  void OnSize(WPARAM kind);
  void OnClose();
  // Stops the timer, shows `textId`, destroys the playback and closes the dialog.
  void EndWith(int textId);
  void DestroyPlayback();
  void Close(INT_PTR result);
  void ShowPosition(int position);
  int Position();
  bool CanRequest(bool report);

  PlaybackHost* host_;
  std::string url_;
  HBRUSH background_ = nullptr;
  widgets::CBitmapBtn pausePlay_, capture_, captureDir_;
  widgets::CBitmapSlider slider_;
  widgets::CColorStatic label_;
  bool durationKnown_ = false;
  bool paused_ = false;
  bool destroyed_ = false;
  bool modal_ = true;
  int total_ = 0;  // seconds, 0 until the duration is known
  std::unique_ptr<SeekQueue> seeks_;
};

// What a double click on a record search row does: builds the recording's URL from `record`
// and `storage`, prints it, and runs the playback dialog over `owner` with `host` (null: no
// control).
INT_PTR OpenPlayback(HWND owner, PlaybackHost* host, const std::string& dvrAddr, int storage,
                     const RecordEntry& record);

}  // namespace device::playback
