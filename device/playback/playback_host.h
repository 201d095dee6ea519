#pragma once
// What the playback dialog asks of the viewer control that owns the playback channel and its
// session, and how the dialog finds that control: the control registers itself under its
// window, and a dialog opened anywhere below that window (the record search sits on the
// docked panel) finds it by walking up the window tree.
//
// Threads: every call comes on the control's window thread, except SeekPlayback and
// PausePlayback, which the dialog's seek thread also makes (the control serialises the
// requests with the session's lock). The dialog stops that thread before StopPlayback.

#include <cstdint>
#include <string>

#include "platform/ui/ui_types.h"

namespace device::playback {

// What the dialog reads of the playback session on every tick.
struct PlaybackStatus {
  bool session = false;         // a playback session exists
  bool running = false;         // its thread has not ended
  bool ended = false;           // the server said the recording played to its end
  uint32_t durationMs = 0;      // from the description's range, 0 until known
  int startPosition = 0;        // seconds from which it last played
  uint32_t elapsedSeconds = 0;  // played since then
};

class PlaybackHost {
 public:
  virtual ~PlaybackHost() = default;
  // The playback channel (352 x 288, no deinterlacing) over `dialog`'s client area less
  // 100 pixels at the bottom, fed by a session on `url`. 0, or -1 when it cannot be made.
  virtual int CreatePlayback(HWND dialog, const std::string& url) = 0;
  virtual int PausePlayback() = 0;
  // PLAY from the stored position.
  virtual int ContinuePlayback() = 0;
  // PLAY from `seconds`.
  virtual int SeekPlayback(int seconds) = 0;
  // Stores and returns startPosition + elapsedSeconds.
  virtual int PlaybackPosition() = 0;
  virtual void SetPlaybackPosition(int seconds) = 0;
  // Ends the session (waiting for its thread) and destroys the channel.
  virtual void StopPlayback() = 0;
  // True when there is no playback session (never made, or stopped).
  virtual bool PlaybackStopped() const = 0;
  virtual PlaybackStatus Status() const = 0;
  virtual void SetPlaybackStart(int seconds) = 0;
  // Counts the played seconds again from the next packet: a seek or a pause starts a new
  // stretch of the recording.
  virtual void RestartPlaybackClock() = 0;
  virtual bool HasPlaybackChannel() const = 0;
  virtual void SnapPlayback() = 0;
  // The paused picture to the capture queue; 0 when it could not be queued.
  virtual int PutPlaybackPauseFifo() = 0;
  virtual void MovePlaybackVideo(const RECT& area) = 0;
  // The port of the DVR's RTSP service, for the recording's URL.
  virtual int RtspPort() const = 0;
  // The capture directory dialog over `owner`, with the playback channel's capture path.
  virtual void OpenCaptureDir(HWND owner) = 0;
};

// The control under `controlWindow`; one per window, cleared before the window goes.
void RegisterPlaybackHost(HWND controlWindow, PlaybackHost* host);
void UnregisterPlaybackHost(HWND controlWindow);
// The host of `window` or of its nearest registered ancestor; null when there is none.
PlaybackHost* FindPlaybackHost(HWND window);

}  // namespace device::playback
