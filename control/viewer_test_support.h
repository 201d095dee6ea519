#pragma once
// Test support for the viewer control: channels that are real video windows of the library
// (their decoding is only counted, the decoder arrives with the channel pipeline), a library
// whose settings can be read back, and a DVR on loopback that answers every channel's RTSP
// requests on connections of their own and keeps them open.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/channel_port.h"
#include "platform/net/net.h"
#include "videolib/video_wnd.h"

namespace control_test {

class WindowChannel : public CVideoWnd, public control::ControlChannel {
 public:
  void Init(void* handle, int id) override { CVideoWnd::Init(handle, id); }
  BOOL CreateWnd(const RECT& rect, HWND parent, UINT id) override {
    return CVideoWnd::CreateWnd(rect, parent, id);
  }
  void MoveVideo(const RECT& rect) override { CVideoWnd::MoveVideo(rect); }
  void EnableTitle(int enable) override { CVideoWnd::EnableTitle(enable); }
  void SetWindowFocus() override { CVideoWnd::SetWindowFocus(); }
  void KillWindowFocus() override { CVideoWnd::KillWindowFocus(); }
  HWND GetSafeHwnd() const override { return CVideoWnd::GetSafeHwnd(); }
  int Open(int width, int height, int, int, int) override;
  void Close() override { ++closes; }
  void EnableDeinterlace(int) override {}
  int StartDecode() override;
  int IsDecodeing() override { return decoding; }
  void StopDecode(int) override { decoding = 0; }
  void ShowVideo(int show) override;
  void Snap() override { ++snaps; }
  CChannel* FrameSink() override { return nullptr; }
  std::string GetCapturePath() const override;

  int opened_width = 0, opened_height = 0;
  int closes = 0, starts = 0, snaps = 0, decoding = 0;
  const class TestLibrary* library = nullptr;
};

class TestLibrary : public control::ChannelLibrary {
 public:
  explicit TestLibrary(std::string module_dir) : module_dir_(std::move(module_dir)) {}
  bool InitRender() override;
  void UninitRender() override { ++uninits; }
  void SetClickMessage(UINT message) override { CVideoWnd::SetClickMessage(message); }
  void SetSelectMessage(UINT message) override { CVideoWnd::SetSelectMessage(message); }
  void SetVideoWinColor(COLORREF color) override { CVideoWnd::SetVideoWinColor(color); }
  void SetFocusWinColor(COLORREF color) override { CVideoWnd::SetFocusWinColor(color); }
  void ClearPanelTable() override { ++panel_clears; }
  void SetSipName(const std::string& name) override { sip_name = name; }
  void SetCapChn(int channel) override { cap_chn = channel; }
  void SetCapturePath(std::string path) override { capture_paths.push_back(path); }
  std::string GetCapturePath() const;
  std::string ModuleDirectory() override { return module_dir_; }
  std::unique_ptr<control::ControlChannel> NewChannel() override;

  std::vector<WindowChannel*> made;  // in order of creation; owned by the control
  std::vector<std::string> capture_paths;
  std::string sip_name;
  int inits = 0, uninits = 0, panel_clears = 0, cap_chn = -1;

 private:
  std::string module_dir_;
};

// Answers DESCRIBE (one H.264 track), SETUP, PLAY, PAUSE and TEARDOWN on 127.0.0.1 and a port
// of the system's choosing, each connection on a thread of its own; sends no media.
class LoopbackDvr {
 public:
  LoopbackDvr();
  ~LoopbackDvr();
  int Port() const { return port_; }
  // PLAY requests seen per path ("/1.live"...), and TEARDOWNs in all.
  int Plays(const std::string& path) const;
  int Teardowns() const;

 private:
  void Accept();
  void Serve(SOCKET conn);
  std::string Reply(const std::string& request);

  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  SOCKET mediaRtp_ = INVALID_SOCKET;  // the server ports the clients send to; never read
  SOCKET mediaRtcp_ = INVALID_SOCKET;
  int mediaPort_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, int> plays_;  // guarded by mutex_
  int teardowns_ = 0;                 // guarded by mutex_
  std::vector<std::thread> threads_;  // guarded by mutex_
  std::thread acceptor_;
};

// A unique empty directory under the system's temporary directory, with a trailing '/'.
std::string MakeTempDir();

// Dispatches the calling thread's messages for `ms` milliseconds.
void PumpFor(int ms);

}  // namespace control_test
