#pragma once
// What the viewer control asks of the video library: one channel (its window, its picture
// buffers and decoding) and the library-wide settings and renderer. The shells bind these to
// their own channel class derived from the library's CChannel; the names are the library's,
// so each call reads as the library call it stands for.
//
// Threads: every call is made on the control's window thread.

#include <memory>
#include <string>

#include "platform/ui/ui_types.h"

class CChannel;

namespace control {

class ControlChannel {
 public:
  virtual ~ControlChannel() = default;

  // CVideoWnd: the channel window.
  virtual void Init(void* handle, int id) = 0;
  virtual BOOL CreateWnd(const RECT& rect, HWND parent, UINT id) = 0;
  virtual void MoveVideo(const RECT& rect) = 0;
  virtual void EnableTitle(int enable) = 0;
  // The text of the title strip.
  virtual void UpdateTitle(const char* /*text*/) {}
  virtual void SetWindowFocus() = 0;
  virtual void KillWindowFocus() = 0;
  virtual HWND GetSafeHwnd() const = 0;

  // CChannel: pictures and decoding.
  virtual int Open(int width, int height, int layout, int y41p, int unused) = 0;
  virtual void Close() = 0;
  virtual void EnableDeinterlace(int enable) = 0;
  virtual int StartDecode() = 0;
  virtual int IsDecodeing() = 0;
  virtual void StopDecode(int keep) = 0;
  virtual void ShowVideo(int show) = 0;
  virtual void Snap() = 0;
  // Queues the picture shown for a snapshot (a paused playback); 0 when it cannot.
  virtual int PutPauseFifo() { return 0; }
  // The library-wide capture directory, as the channel reads it.
  virtual std::string GetCapturePath() const = 0;

  // The object the stream client hands frames to; outlives every session that names it.
  virtual CChannel* FrameSink() = 0;
};

class ChannelLibrary {
 public:
  virtual ~ChannelLibrary() = default;

  // The shared renderer; false when it could not be set up.
  virtual bool InitRender() = 0;
  virtual void UninitRender() = 0;
  virtual void SetClickMessage(UINT message) = 0;
  virtual void SetSelectMessage(UINT message) = 0;
  virtual void SetVideoWinColor(COLORREF color) = 0;
  virtual void SetFocusWinColor(COLORREF color) = 0;

  // The information panel table (m_swdata), cleared before a grid is built.
  virtual void ClearPanelTable() = 0;
  // m_SipName and m_capchn: the device name and channel of snapshot file names.
  virtual void SetSipName(const std::string& name) = 0;
  virtual void SetCapChn(int channel) = 0;
  virtual void SetCapturePath(std::string path) = 0;

  // The directory of the library's module file, with its trailing '/'.
  virtual std::string ModuleDirectory() = 0;

  // A new channel object, without a window yet.
  virtual std::unique_ptr<ControlChannel> NewChannel() = 0;
};

}  // namespace control
