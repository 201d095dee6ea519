#pragma once
// The viewer control core: the state of one embedded control and what it does on its window's
// messages. It lays out one channel window per DVR channel in a square grid on the left of its
// window, keeps one RtspSession record per channel, starts, stops and restarts the channels
// (timer 111), answers the channel windows' show requests (1224) and selections and snapshot
// requests (1225), keeps the capture directory in "config.txt" beside the video library and
// tears everything down when its window is destroyed.
//
// The right-hand strip of kPanelWidth pixels holds the control panel (CRightPlanDlg), a child
// of the control's window made with the grid and released when the window goes.
//
// Threads: everything runs on the thread of the control's window. A session's own threads
// only read the channel pointer they were given; the control waits for every session thread
// before the channel it names goes.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "control/channel_port.h"
#include "control/page_settings.h"
#include "device/panel/panel_host.h"
#include "device/panel/right_plan_dlg.h"
#include "device/playback/playback_host.h"
#include "platform/ui/ui_types.h"
#include "stream/rtsp_session.h"

namespace control {

constexpr UINT kClickMessage = 1224;   // WM_USER + 200: show or hide request
constexpr UINT kSelectMessage = 1225;  // WM_USER + 201: selection or snapshot request
constexpr UINT_PTR kReconnectTimer = 111;
constexpr UINT kReconnectPeriodMs = 10000;
constexpr COLORREF kVideoWinColor = 0x000000;
constexpr COLORREF kFocusWinColor = 0x00FF00;
constexpr int kOpenWidth = 352;
constexpr int kOpenHeight = 288;
constexpr int kShowAll = -1;
constexpr int kShowCurrent = -2;
constexpr int kShowNothing = -3;
constexpr LPARAM kSnapshotRequest = 2;

// Cells a grid may have: the DVR's channels and the URLs given beside them.
constexpr int kMaxCells = 16;

// One cell of the grid: the channel with its window, where that window sits in the control's
// client area, the session record that feeds the channel, and the stream URL of a cell that
// shows another RTSP server's stream instead of a DVR channel (empty for the DVR's). BuildGrid
// makes the slots, one per channel, each with all three; EndSessions frees the sessions (a slot's
// `session` is then null) and OnDestroy the slots. A slot's run state is its session record's
// (`running`, `threadHandle`), read where it is needed.
struct ChannelSlot {
  std::unique_ptr<ControlChannel> channel;
  RECT cell{0, 0, 0, 0};
  std::unique_ptr<RtspSession> session;
  std::string url;
};

class ViewerControl : public device::panel::PanelHost, public device::playback::PlaybackHost {
 public:
  // The first control of the process sets up the library's renderer and its settings;
  // `library` must outlive every control.
  explicit ViewerControl(ChannelLibrary& library);
  // The last control of the process releases the renderer.
  ~ViewerControl() override;
  ViewerControl(const ViewerControl&) = delete;
  ViewerControl& operator=(const ViewerControl&) = delete;

  // Reads the page's properties; called before the window exists.
  void LoadSettings(const PropertyReader& read);

  // The control window's messages, from its window procedure.
  void OnCreate(HWND window);
  void OnSize();
  void OnTimer(UINT_PTR id);
  void OnShowRequest(WPARAM wparam, LPARAM lparam);
  void OnSelect(WPARAM wparam, LPARAM lparam);
  void OnDestroy();
  void OnNcDestroy();

  // For the control panel (PanelHost).
  void StartStoppedChannels() override;
  void StopAllChannels() override;
  std::string CapturePath() const override;
  // The capture directory dialog's OK: the library takes the path, "config.txt" keeps it.
  bool ChangeCaptureDir(const std::string& path) override;
  int CurrentChannel() const override { return currentChannel_; }
  void LogStep(const std::string& text) override {
    if (stepLog_) stepLog_(text);
  }
  // The shell's log for the dialogs' steps (the plug-in's daily log).
  void SetStepLog(std::function<void(const std::string&)> log) { stepLog_ = std::move(log); }

  // For the playback window: one channel (id 33) over `dialog`'s client area less 100 pixels
  // at the bottom, fed by a playback session on `url`. 0 on success; -1 with the message box
  // "chn is created!\n" when a playback channel exists, -1 when it cannot be made.
  int CreatePlaybackChannel(HWND dialog, const std::string& url);
  // The playback dialog's side (PlaybackHost). The control registers under its window when
  // it is created, and leaves before the window goes.
  int CreatePlayback(HWND dialog, const std::string& url) override {
    return CreatePlaybackChannel(dialog, url);
  }
  int PausePlayback() override;
  int ContinuePlayback() override;
  int SeekPlayback(int seconds) override;
  int PlaybackPosition() override;  // seconds from the start of the recording
  void SetPlaybackPosition(int seconds) override { playbackPosition_ = seconds; }
  void StopPlayback() override;
  bool PlaybackStopped() const override { return playbackSession_ == nullptr; }
  device::playback::PlaybackStatus Status() const override;
  void SetPlaybackStart(int seconds) override;
  void RestartPlaybackClock() override;
  bool HasPlaybackChannel() const override { return playbackChannel_ != nullptr; }
  void SnapPlayback() override;
  int PutPlaybackPauseFifo() override;
  void MovePlaybackVideo(const RECT& area) override;
  int RtspPort() const override { return rtspPort_; }
  void OpenCaptureDir(HWND owner) override;
  RtspSession* playbackSession() const { return playbackSession_.get(); }
  ControlChannel* playbackChannel() const { return playbackChannel_.get(); }

  // The port of the DVR's RTSP service in stream URLs (554 unless a simulator moved it).
  void SetRtspPort(int port) { rtspPort_ = port; }
  // The UDP port of the DVR's commands the panel sends to (2700 unless a simulator moved it).
  void SetCommandPort(int port) { commandPort_ = port; }
  // Cells (0-based, below kMaxCells) that show the stream of an RTSP URL, of any server, in
  // place of a DVR channel; the grid grows to hold the last of them. Given before the grid is
  // built. Their sessions take the forms standard servers ask for and fall back to RTP over
  // TCP; the DVR's channels keep theirs.
  void SetCellUrls(std::map<int, std::string> urls) { cellUrls_ = std::move(urls); }
  // Test hook: the reconnect period, taken when the grid is built.
  void SetReconnectPeriodForTest(UINT ms) { reconnectPeriodMs_ = ms; }

  // For the plug-in shell, whose settings come from page script and whose grid is built on
  // the page's first "Start" rather than at window creation (viewer_scripted.cpp). The shell
  // owns `window` and its procedure and forwards the messages above to this control; it calls
  // OnDestroy and then OnNcDestroy itself, so the control never destroys that window.
  void AttachScriptedWindow(HWND window) { window_ = window; }
  void SetDvrAddress(const std::string& address) { settings_.dvrAddr = address; }
  // Builds the grid of `count` channels (held to 1..kMaxChannels) without titles, timer or
  // default channel; with `preview` 1 it starts every channel. Once only.
  void BuildScriptedGrid(int count, int preview);
  // The count later operations go over. Once the grid exists it is held to the channels
  // built, so that no loop runs past them; the grid itself is not rebuilt.
  void SetScriptedChannelCount(int count);
  void RelayoutGrid() {
    if (initialised_) Relayout();
  }

  HWND window() const { return window_; }
  const PageSettings& settings() const { return settings_; }
  int channelCount() const { return channelCount_; }
  int currentChannel() const { return currentChannel_; }
  int singleView() const { return singleView_; }
  int initialised() const { return initialised_; }
  int columns() const { return columns_; }
  int cellCount() const { return static_cast<int>(slots_.size()); }
  ControlChannel* channel(int i) const;
  RtspSession* session(int i) const;
  RECT cellRect(int i) const;
  std::string captureDir() const { return captureDir_; }
  // The docked panel, null before the grid is built and after the window is destroyed.
  device::panel::CRightPlanDlg* panel() const { return panel_.get(); }

  static int InstanceCount();
  // The relay state of the last page read ("RelayState"), for the control panel.
  static int RelayState();
  // The language selected by the last page read: 0 English, 1 the second language.
  static int Language();

 private:
  std::function<void(const std::string&)> stepLog_;

  // viewer_grid.cpp
  void BuildGrid();
  void CreateChannels(const RECT& client);
  void StartVideo();
  void ShowDefaultChannel();
  void Relayout();
  void PlaceChannels(const RECT& client);
  void SetCurrentChannel(int index);
  void CreatePanel();

  // viewer_channels.cpp
  std::string LiveUrl(int index) const;
  bool SessionIdle(RtspSession* session);
  void StartChannel(int index, bool only_when_not_decoding);
  void Snapshot(int index);
  void LoadCaptureDirectory();
  void ApplyCapturePath(const std::string& path);
  void EndSessions();
  // The slot of `index`, or null when the grid has none.
  ChannelSlot* slot(int index);
  const ChannelSlot* slot(int index) const;

  ChannelLibrary& library_;
  PageSettings settings_;
  HWND window_ = nullptr;
  std::vector<ChannelSlot> slots_;  // at most kMaxChannels
  std::unique_ptr<ControlChannel> playbackChannel_;
  std::unique_ptr<RtspSession> playbackSession_;
  // The stored position; the seek thread writes it too.
  std::atomic<int> playbackPosition_{0};
  int currentChannel_ = 0;
  int singleView_ = 0;
  int channelCount_ = 9;
  int defaultChannel_ = 0;
  int columns_ = 0;
  int initialised_ = 0;
  int preview_ = 0;
  int rtspPort_ = 554;
  int commandPort_ = 2700;
  UINT reconnectPeriodMs_ = kReconnectPeriodMs;
  std::string captureDir_;
  std::unique_ptr<device::panel::CRightPlanDlg> panel_;
  std::map<int, std::string> cellUrls_;
  int cellCount_ = 0;
};

}  // namespace control
