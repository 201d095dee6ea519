#pragma once
// The control's channels and library as the video library gives them: each channel is the
// library's CChannel, and the library-wide settings are its statics.

#include <memory>
#include <string>

#include "control/channel_port.h"
#include "videolib/channel.h"

namespace control {

class LiveChannel : public CChannel, public ControlChannel {
 public:
  void Init(void* handle, int id) override { CVideoWnd::Init(handle, id); }
  BOOL CreateWnd(const RECT& rect, HWND parent, UINT id) override {
    return CVideoWnd::CreateWnd(rect, parent, id);
  }
  void MoveVideo(const RECT& rect) override { CVideoWnd::MoveVideo(rect); }
  void EnableTitle(int enable) override { CVideoWnd::EnableTitle(enable); }
  void UpdateTitle(const char* text) override { CVideoWnd::UpdateTitle(text); }
  void SetWindowFocus() override { CVideoWnd::SetWindowFocus(); }
  void KillWindowFocus() override { CVideoWnd::KillWindowFocus(); }
  HWND GetSafeHwnd() const override { return CVideoWnd::GetSafeHwnd(); }
  int Open(int width, int height, int layout, int y41p, int unused) override {
    return CChannel::Open(width, height, layout, y41p, unused);
  }
  void Close() override { CChannel::Close(); }
  void EnableDeinterlace(int enable) override { CChannel::EnableDeinterlace(enable); }
  int StartDecode() override { return CChannel::StartDecode(); }
  int IsDecodeing() override { return CChannel::IsDecodeing(); }
  void StopDecode(int keep) override { CChannel::StopDecode(keep); }
  void ShowVideo(int show) override { CChannel::ShowVideo(show); }
  void Snap() override { CChannel::Snap(); }
  int PutPauseFifo() override { return CChannel::PutPauseFifo(); }
  std::string GetCapturePath() const override { return CChannel::GetCapturePath(); }
  CChannel* FrameSink() override { return this; }
};

class VideoLibrary : public ChannelLibrary {
 public:
  bool InitRender() override { return CChannel::InitRender() != nullptr; }
  void UninitRender() override { CChannel::UninitRender(); }
  void SetClickMessage(UINT message) override { CVideoWnd::SetClickMessage(message); }
  void SetSelectMessage(UINT message) override { CVideoWnd::SetSelectMessage(message); }
  void SetVideoWinColor(COLORREF color) override { CVideoWnd::SetVideoWinColor(color); }
  void SetFocusWinColor(COLORREF color) override { CVideoWnd::SetFocusWinColor(color); }
  void ClearPanelTable() override;
  void SetSipName(const std::string& name) override;
  void SetCapChn(int channel) override;
  void SetCapturePath(std::string path) override { CChannel::SetCapturePath(std::move(path)); }
  // The directory of the shared object that holds CChannel.
  std::string ModuleDirectory() override;
  std::unique_ptr<ControlChannel> NewChannel() override { return std::make_unique<LiveChannel>(); }
};

}  // namespace control
