// The grid as the plug-in shell builds it: on the page's first "Start", with the count given
// there, and without the ActiveX control's titles, device name, reconnect timer and default
// channel (the shell runs its own reconnect thread).
#include <algorithm>
#include <cstdio>

#include "control/grid.h"
#include "control/viewer_control.h"
#include "platform/ui/ui.h"

namespace control {

void ViewerControl::BuildScriptedGrid(int count, int preview) {
  if (initialised_) return;
  channelCount_ = std::clamp(count, 1, kMaxChannels);
  cellCount_ = channelCount_;
  columns_ = grid::Columns(cellCount_);
  RECT client{0, 0, 0, 0};
  GetClientRect(window_, &client);
  std::printf("InitChn wnd:%x\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(window_)));
  CreateChannels(client);
  for (ChannelSlot& s : slots_) s.channel->EnableTitle(0);
  StartVideo();
  initialised_ = 1;
  CreatePanel();
  LoadCaptureDirectory();
  preview_ = preview;
  if (preview_ == 1) {
    for (int i = 0; i < cellCount_; ++i) StartChannel(i, false);
  }
}

void ViewerControl::SetScriptedChannelCount(int count) {
  const int limit = slots_.empty() ? kMaxChannels : static_cast<int>(slots_.size());
  channelCount_ = std::clamp(count, 1, limit);
}

}  // namespace control
