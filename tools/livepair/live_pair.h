#pragma once
// Two live channels of one DVR side by side: each an RTSP session feeding the video library's
// channel in a window of its own on the display, as the viewer control binds them. Snapshots
// and recordings go through the library's own paths.
//
// Threads: everything here runs on the thread that opened the pair (the window thread); the
// sessions, decode threads and the library's capture and recording threads run underneath.

#include <array>
#include <memory>
#include <string>

#include "control/live_channel.h"
#include "platform/display/display.h"
#include "stream/rtsp_session.h"

namespace livepair {

struct PairConfig {
  std::string host = "127.0.0.1";
  int port = 554;
  std::array<int, 2> channels = {1, 2};  // 1-based DVR channel numbers
  int width = 352;                       // of each window's picture area
  int height = 288;
  std::string backend = "headless";
};

class LivePair {
 public:
  static constexpr int kWindows = 2;

  // Opens the display, the windows, the channels and starts both sessions. Null with *error
  // set when the display or a window cannot be made.
  static std::unique_ptr<LivePair> Open(const PairConfig& config, std::string* error);
  // Ends the sessions, recordings and decoding, closes the windows and the renderer.
  ~LivePair();
  LivePair(const LivePair&) = delete;
  LivePair& operator=(const LivePair&) = delete;

  // Runs the window thread's messages for `ms`.
  void PumpFor(int ms);
  // Pumps until both sessions run and both channels have shown a picture; false on timeout.
  bool WaitForPictures(int timeout_ms);

  platform::display::Display& display() { return *display_; }
  const PairConfig& config() const { return config_; }
  // Where window i draws its pictures, in desktop coordinates.
  RECT PictureRect(int i) const;
  // Pictures shown by window i so far.
  int FramesShown(int i) const;
  bool Screenshot(const std::string& path, std::string* error);

  // Takes a snapshot of the next picture of window i into `dir` through the library's capture
  // thread and waits up to `timeout_ms` for its file. The file's path, or "" on timeout.
  std::string Snapshot(int i, const std::string& dir, int timeout_ms);
  // Records the pictures of window i (width x height, 25 per second) into `path`.
  bool StartRecording(int i, const std::string& path, int width, int height, std::string* error);
  void StopRecording(int i);

 private:
  LivePair(const PairConfig& config, std::unique_ptr<platform::display::Display> display)
      : config_(config), display_(std::move(display)) {}
  bool MakeWindows(std::string* error);
  void StartSessions();

  PairConfig config_;
  std::unique_ptr<platform::display::Display> display_;
  control::VideoLibrary library_;
  bool renderer_ = false;
  HWND desktop_ = nullptr;
  int border_ = 0;  // of a video window, on each side
  std::array<std::unique_ptr<control::LiveChannel>, kWindows> channels_;
  std::array<std::unique_ptr<RtspSession>, kWindows> sessions_;
  std::array<bool, kWindows> recording_ = {false, false};
};

}  // namespace livepair
