// The playback channel: one window over the playback dialog, fed by a session on a recording.
#include <cstdio>

#include "control/session_run.h"
#include "control/viewer_control.h"
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
