// Starting, stopping and restarting the live channels; snapshots; the capture directory.
#include <cstdio>
#include <string>

#include "control/capture_config.h"
#include "control/session_run.h"
#include "control/viewer_control.h"
#include "device/lang/lang_table.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "platform/prompt/prompt.h"

namespace control {
namespace lang = device::lang;
namespace {

constexpr DWORD kBetweenStartsMs = 10;
// Language table IDs of the snapshot messages.
constexpr int kPromptInfo = 654;
constexpr int kSnapDone = 652;
constexpr int kSnapFailed = 651;

}  // namespace

std::string ViewerControl::LiveUrl(int index) const {
  if (const ChannelSlot* s = slot(index); s != nullptr && !s->url.empty()) return s->url;
  char url[300];
  if (rtspPort_ == 554) {
    std::snprintf(url, sizeof(url), "rtsp://%s:554/%d.live", settings_.dvrAddr.c_str(), index + 1);
  } else {
    std::snprintf(url, sizeof(url), "rtsp://%s:%d/%d.live", settings_.dvrAddr.c_str(), rtspPort_,
                  index + 1);
  }
  return url;
}

// A record may start a run when none is running. Its running flag is raised by the session
// thread itself, so a thread that has not yet raised it, or is still sending its TEARDOWN, is
// left alone: starting a second run on the same record would give it two threads.
bool ViewerControl::SessionIdle(RtspSession* s) {
  if (s->running != 0) return false;
  if (s->threadHandle == nullptr) return true;
  if (WaitForSingleObject(s->threadHandle, 0) == WAIT_TIMEOUT) return false;
  JoinRun(s);
  return true;
}

void ViewerControl::StartChannel(int index, bool only_when_not_decoding) {
  ControlChannel* c = channel(index);
  RtspSession* s = session(index);
  if (c == nullptr || s == nullptr) return;
  std::string url = LiveUrl(index);
  if (!only_when_not_decoding || c->IsDecodeing() == 0) c->StartDecode();
  StartRtspSession(url.c_str(), s);
  Sleep(kBetweenStartsMs);
}

void ViewerControl::StartStoppedChannels() {
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    RtspSession* s = slots_[i].session.get();
    if (s != nullptr && SessionIdle(s)) StartChannel(i, false);
  }
}

void ViewerControl::StopAllChannels() {
  for (ChannelSlot& s : slots_) {
    if (s.session == nullptr || s.session->running == 0) continue;
    s.channel->StopDecode(0);
    s.session->running = 0;
  }
#if CONTROL_NPAPI_BUILD
  std::printf("PausePlayVideo=======\n");
#endif
}

void ViewerControl::Snapshot(int index) {
  const ChannelSlot* s = slot(index);
  const bool can = s != nullptr && s->session != nullptr && s->session->running != 0 &&
                   !s->channel->GetCapturePath().empty();
  if (!can) {
    MessageBoxA(window_, lang::Text(kSnapFailed), lang::Text(kPromptInfo), MB_OK);
    return;
  }
  library_.SetCapChn(index);
  s->channel->Snap();
  MessageBoxA(window_, lang::Text(kSnapDone), lang::Text(kPromptInfo), MB_OK);
}

void ViewerControl::LoadCaptureDirectory() {
  captureDir_ = LoadCaptureDir(library_.ModuleDirectory());
  EnsureDirectory(captureDir_);
  std::printf("set cap dir:%s\r\n", captureDir_.c_str());
  library_.SetCapturePath(captureDir_);
  std::printf("current displaynum:%d\\rn", channelCount_);
  for (int i = 0; i < channelCount_; ++i) library_.SetCapturePath(captureDir_);
}

void ViewerControl::ApplyCapturePath(const std::string& path) {
  library_.SetCapturePath(path);
  for (int i = 0; i < channelCount_; ++i) library_.SetCapturePath(path);
}

void ViewerControl::EndSessions() {
  // Every run is told first, so that their last receive waits and teardowns overlap instead of
  // adding up; then each is waited for and freed in slot order.
  for (ChannelSlot& s : slots_) {
    if (s.session && s.session->threadHandle) s.session->running = 0;
  }
  for (ChannelSlot& s : slots_) {
    if (s.session == nullptr) continue;
    EndRun(&s.session);
    s.channel->StopDecode(0);
  }
}

}  // namespace control
