#include "control/viewer_control.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "control/capture_config.h"
#include "device/lang/lang_table.h"
#include "platform/kernel/handle.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/ui.h"

namespace control {
namespace {

// Shared by every control of the process.
std::mutex g_instanceMutex;
int g_instanceCount = 0;  // guarded by g_instanceMutex
std::atomic<int> g_relayState{0};
std::atomic<int> g_language{1};

}  // namespace

ViewerControl::ViewerControl(ChannelLibrary& library) : library_(library) {
  std::lock_guard<std::mutex> lock(g_instanceMutex);
  if (g_instanceCount == 0) {
    library_.InitRender();
    library_.SetClickMessage(kClickMessage);
    library_.SetSelectMessage(kSelectMessage);
    library_.SetVideoWinColor(kVideoWinColor);
    library_.SetFocusWinColor(kFocusWinColor);
  }
  ++g_instanceCount;
}

ViewerControl::~ViewerControl() {
  // The window must not outlive the control its user data points to; its destruction ends
  // the sessions and channels.
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  StopPlayback();
  std::lock_guard<std::mutex> lock(g_instanceMutex);
  if (--g_instanceCount == 0) library_.UninitRender();
}

int ViewerControl::InstanceCount() {
  std::lock_guard<std::mutex> lock(g_instanceMutex);
  return g_instanceCount;
}

int ViewerControl::RelayState() { return g_relayState; }
int ViewerControl::Language() { return g_language; }

void ViewerControl::LoadSettings(const PropertyReader& read) {
  settings_ = LoadPageSettings(read);
  preview_ = settings_.preview;
  channelCount_ = settings_.channelCount;
  defaultChannel_ = settings_.defaultChannel;
  g_relayState = settings_.relayState;
  g_language = settings_.language;
  device::lang::SelectLanguage(settings_.language);
}

ChannelSlot* ViewerControl::slot(int index) {
  if (index < 0 || index >= static_cast<int>(slots_.size())) return nullptr;
  return &slots_[index];
}

const ChannelSlot* ViewerControl::slot(int index) const {
  if (index < 0 || index >= static_cast<int>(slots_.size())) return nullptr;
  return &slots_[index];
}

ControlChannel* ViewerControl::channel(int i) const {
  const ChannelSlot* s = slot(i);
  return s ? s->channel.get() : nullptr;
}

RtspSession* ViewerControl::session(int i) const {
  const ChannelSlot* s = slot(i);
  return s ? s->session.get() : nullptr;
}

RECT ViewerControl::cellRect(int i) const {
  const ChannelSlot* s = slot(i);
  return s ? s->cell : RECT{0, 0, 0, 0};
}

void ViewerControl::OnCreate(HWND window) {
  window_ = window;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  device::playback::RegisterPlaybackHost(window, this);
  if (!initialised_) BuildGrid();
}

void ViewerControl::OnSize() {
  if (initialised_) Relayout();
}

void ViewerControl::OnTimer(UINT_PTR id) {
  if (id != kReconnectTimer) return;
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    ChannelSlot& s = slots_[i];
    if (s.session == nullptr || !SessionIdle(s.session.get())) continue;
    std::printf("reconnect rtsp chn=%d \n", i);
    // A channel whose stream was lost would go on showing its last picture as if it were live:
    // repainting clears it to the window colour until pictures come again.
    if (HWND w = s.channel->GetSafeHwnd()) InvalidateRect(w, nullptr, TRUE);
    StartChannel(i, true);
  }
}

void ViewerControl::OnShowRequest(WPARAM wparam, LPARAM lparam) {
  const int which = static_cast<int>(static_cast<LONG_PTR>(wparam));
  const int show = static_cast<int>(lparam);
  if (which == kShowNothing) return;
  if (which == kShowAll) {
    for (ChannelSlot& s : slots_) s.channel->ShowVideo(show);
    singleView_ = show == 0 ? 1 : 0;
    Relayout();
  } else if (which == kShowCurrent) {
    if (ControlChannel* c = channel(currentChannel_)) c->ShowVideo(show);
    Relayout();
  } else if (ControlChannel* c = channel(which)) {
    c->ShowVideo(show);
  }
}

void ViewerControl::OnSelect(WPARAM wparam, LPARAM lparam) {
  const int which = static_cast<int>(static_cast<LONG_PTR>(wparam));
  if (lparam == kSnapshotRequest) {
    Snapshot(which);
    return;
  }
  if (slot(which) == nullptr || singleView_ != 0) return;
  SetCurrentChannel(which);
}

void ViewerControl::OnDestroy() {
  std::printf("WM_DESTROY---------------\n");
  device::playback::UnregisterPlaybackHost(window_);
  if (!initialised_) return;
  std::printf("DestroyWindow-------\n");
  KillTimer(window_, kReconnectTimer);
  EndSessions();
  while (!slots_.empty()) {
    slots_.back().channel->Close();
    slots_.pop_back();
  }
  std::printf("end active ctrl!\n");
  if (panel_) {
    panel_->Close();
    panel_.reset();  // destroys its window
  }
  initialised_ = 0;
}

void ViewerControl::OnNcDestroy() { window_ = nullptr; }

std::string ViewerControl::CapturePath() const {
  if (const ControlChannel* c = channel(0)) return c->GetCapturePath();
  return captureDir_;
}

bool ViewerControl::ChangeCaptureDir(const std::string& path) {
  ApplyCapturePath(path);
  captureDir_ = path;
  return SaveCaptureDir(library_.ModuleDirectory(), path);
}

}  // namespace control
