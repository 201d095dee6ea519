// The playback channel: one window over the playback dialog, fed by a session on a recording.
#include <cstdio>

#include "control/session_run.h"
#include "control/viewer_control.h"
#include "device/panel/cap_dir_dlg.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/ui.h"

namespace control {
namespace {

constexpr int kPlaybackBottomMargin = 100;

// Holds a session's lock for the playback requests issued from the window thread.
class SessionLock {
 public:
  explicit SessionLock(RtspSession* s) : s_(s) { EnterCriticalSection(&s_->lock); }
  ~SessionLock() { LeaveCriticalSection(&s_->lock); }
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;

 private:
  RtspSession* s_;
};

}  // namespace

int ViewerControl::CreatePlaybackChannel(HWND dialog, const std::string& url) {
  if (playbackChannel_ != nullptr) {
    MessageBoxA(window_, "chn is created!\n", "prompt", MB_OK);
    return -1;
  }
  RECT area{0, 0, 0, 0};
  GetClientRect(dialog, &area);
  area.bottom -= kPlaybackBottomMargin;
  std::unique_ptr<ControlChannel> c = library_.NewChannel();
  c->Init(nullptr, kPlaybackChannelNumber);
  if (!c->CreateWnd(area, dialog, kPlaybackChannelNumber)) return -1;
  c->EnableTitle(0);
  c->MoveVideo(area);
  c->Close();
  c->Open(kOpenWidth, kOpenHeight, 0, 0, 0);
  c->EnableDeinterlace(0);
  c->StartDecode();
  auto s = std::make_unique<RtspSession>();
  s->channelNumber = kPlaybackChannelNumber;
  s->isPlayback = 1;
  s->channel = c->FrameSink();
  playbackPosition_ = 0;
  playbackChannel_ = std::move(c);
  playbackSession_ = std::move(s);
  if (StartRtspSession(url.c_str(), playbackSession_.get()) != 0) {
    StopPlayback();
    return -1;
  }
  return 0;
}

int ViewerControl::PausePlayback() {
  RtspSession* s = playbackSession_.get();
  if (s == nullptr) return -1;
  SessionLock lock(s);
  return SendPause(s, s->rtspSocket);
}

int ViewerControl::ContinuePlayback() {
  RtspSession* s = playbackSession_.get();
  if (s == nullptr) return -1;
  SessionLock lock(s);
  int result = SendPlay(s, s->rtspSocket, playbackPosition_);
  if (result != 0) std::printf("Play MediaSubsession Failed\n");
  std::printf("Play Streams successful\n");
  s->paused = 0;
  return result;
}

int ViewerControl::SeekPlayback(int seconds) {
  RtspSession* s = playbackSession_.get();
  if (s == nullptr) return -1;
  s->startPosition = seconds;
  SessionLock lock(s);
  return ResumePlay(s, s->rtspSocket);
}

device::playback::PlaybackStatus ViewerControl::Status() const {
  device::playback::PlaybackStatus status;
  RtspSession* s = playbackSession_.get();
  if (s == nullptr) return status;
  status.session = true;
  status.running = s->running == 1;
  status.ended = s->endOfStream == 1;
  status.durationMs = s->fMaxPlayEndTime;
  status.startPosition = s->startPosition;
  status.elapsedSeconds = s->elapsedSeconds;
  return status;
}

void ViewerControl::SetPlaybackStart(int seconds) {
  if (RtspSession* s = playbackSession_.get()) s->startPosition = seconds;
}

// The next packet is the new start, whatever the first one of the run was.
void ViewerControl::RestartPlaybackClock() {
  RtspSession* s = playbackSession_.get();
  if (s == nullptr) return;
  s->elapsedSeconds = 0;
  s->playStartSeconds = 0;
  s->playStartMicros = 0;
  s->playBase = kPlayBasePending;
}

void ViewerControl::SnapPlayback() {
  if (playbackChannel_ != nullptr) playbackChannel_->Snap();
}

int ViewerControl::PutPlaybackPauseFifo() {
  return playbackChannel_ != nullptr ? playbackChannel_->PutPauseFifo() : 0;
}

void ViewerControl::MovePlaybackVideo(const RECT& area) {
  if (playbackChannel_ == nullptr) return;
  playbackChannel_->MoveVideo(area);
  InvalidateRect(playbackChannel_->GetSafeHwnd(), nullptr, TRUE);
}

void ViewerControl::OpenCaptureDir(HWND owner) {
  device::panel::CCapDirDlg dialog(this);
  dialog.DoModal(owner);
}

int ViewerControl::PlaybackPosition() {
  RtspSession* s = playbackSession_.get();
  if (s == nullptr) return playbackPosition_;
  playbackPosition_ =
      s->startPosition + static_cast<int>(s->elapsedSeconds.load(std::memory_order_relaxed));
  return playbackPosition_;
}

void ViewerControl::StopPlayback() {
  if (playbackSession_ != nullptr) {
    EndRun(&playbackSession_);
  }
  if (playbackChannel_ != nullptr) {
    playbackChannel_->StopDecode(0);
    playbackChannel_.reset();
  }
}

}  // namespace control
