// Building the grid on the first window creation, and keeping it laid out.
#include <algorithm>
#include <cstdio>

#include "control/grid.h"
#include "control/viewer_control.h"
#include "platform/ui/ui.h"

namespace control {
namespace {

RECT ClientRect(HWND window) {
  RECT client{0, 0, 0, 0};
  GetClientRect(window, &client);
  return client;
}

}  // namespace

void ViewerControl::BuildGrid() {
  // The session table has kMaxChannels slots; a count that did not come through the page
  // settings (the 9 of a fresh control) is held to it as well.
  channelCount_ = std::clamp(channelCount_, 1, kMaxChannels);
  RECT client = ClientRect(window_);
  columns_ = grid::Columns(channelCount_);
  std::printf("InitChn wnd:%x\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(window_)));
  CreateChannels(client);
  library_.SetSipName(settings_.sipName);
  library_.SetCapChn(0);
  SetTimer(window_, kReconnectTimer, reconnectPeriodMs_, nullptr);
  StartVideo();
  initialised_ = 1;
  CreatePanel();
  LoadCaptureDirectory();
  if (preview_ == 1) {
    for (int i = 0; i < channelCount_; ++i) StartChannel(i, false);
  }
  ShowDefaultChannel();
}

void ViewerControl::CreateChannels(const RECT& client) {
  for (int i = 0; i < channelCount_; ++i) {
    std::unique_ptr<ControlChannel> c = library_.NewChannel();
    if (i == 0) library_.ClearPanelTable();
    c->Init(nullptr, i);
    RECT cell = grid::Cell(client, columns_, i);
    c->CreateWnd(cell, window_, static_cast<UINT>(i));
    c->MoveVideo(cell);
    c->EnableTitle(1);
    auto s = std::make_unique<RtspSession>();
    s->channelNumber = i;
    s->channel = c->FrameSink();
    slots_.push_back(ChannelSlot{std::move(c), cell, std::move(s)});
  }
}

void ViewerControl::StartVideo() {
  for (ChannelSlot& s : slots_) {
    ControlChannel* c = s.channel.get();
    std::printf("StartVideo 111width = %d height = %d \n", kOpenWidth, kOpenHeight);
    std::printf("StartVideo width = %d height = %d \n", kOpenWidth, kOpenHeight);
    c->Close();
    c->Open(kOpenWidth, kOpenHeight, 0, 0, 0);
    c->EnableDeinterlace(0);
  }
  if (ControlChannel* first = channel(0)) first->SetWindowFocus();
  if (ControlChannel* current = channel(currentChannel_)) current->KillWindowFocus();
}

void ViewerControl::ShowDefaultChannel() {
  const int d = defaultChannel_;
  const int limit = channelCount_ == 4 ? 4 : 8;
  // A default channel the grid does not have would leave every window hidden.
  if (d >= limit || d >= channelCount_) return;
  if (d >= 0 && singleView_ == 0) SetCurrentChannel(d);
  OnShowRequest(static_cast<WPARAM>(kShowAll), 0);
  if (d < 0) {
    OnShowRequest(static_cast<WPARAM>(kShowAll), 1);
    return;
  }
  OnShowRequest(static_cast<WPARAM>(d), 1);
}

void ViewerControl::CreatePanel() {
  auto panel = std::make_unique<device::panel::CRightPlanDlg>(this);
  panel->SetCommandPort(commandPort_);
  device::panel::PanelSettings s;
  s.dvrAddr = settings_.dvrAddr;
  s.channelCount = channelCount_;
  s.preview = preview_;
  s.relayState = RelayState();
  if (!panel->Create(window_, s)) {
    std::printf("the control panel could not be created\n");
    return;
  }
  panel->Dock();
  ShowWindow(panel->m_hWnd, SW_SHOW);
  panel_ = std::move(panel);
}

void ViewerControl::SetCurrentChannel(int index) {
  if (index != currentChannel_) {
    if (ControlChannel* previous = channel(currentChannel_)) previous->KillWindowFocus();
  }
  currentChannel_ = index;
}

void ViewerControl::Relayout() {
  if (ControlChannel* current = channel(currentChannel_)) current->KillWindowFocus();
  RECT client = ClientRect(window_);
  columns_ = grid::Columns(channelCount_);
  PlaceChannels(client);
  if (ControlChannel* first = channel(0)) InvalidateRect(first->GetSafeHwnd(), nullptr, TRUE);
  if (ControlChannel* current = channel(currentChannel_)) current->SetWindowFocus();
  if (panel_) panel_->Dock();
}

void ViewerControl::PlaceChannels(const RECT& client) {
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    slots_[i].cell = grid::Cell(client, columns_, i);
    slots_[i].channel->MoveVideo(slots_[i].cell);
  }
  if (singleView_ == 1) {
    if (ChannelSlot* current = slot(currentChannel_)) {
      current->cell = grid::Enlarged(client);
      current->channel->MoveVideo(current->cell);
    }
  }
}

}  // namespace control
