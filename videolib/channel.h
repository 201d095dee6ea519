#pragma once
// CChannel: one stream of compressed H.264 frames turned into pictures in one window.
//
// A producer thread hands whole frames to PutOneFrame; they wait in the channel's byte ring
// until its decode thread takes them out, decodes them, copies each picture into m_yuvBuf and
// passes it to OnVideoStream, which draws it through the shared renderer, queues snapshots for
// the library's capture thread and hands pictures to recording (Run, on the CThread base).
//
// Two builds from this one declaration (the controls derive from it, so both sides must agree):
// LocPlexa (VIDEOLIB_GDI_TEXT=1) draws every picture by the GDI path with the information
// panel on top; Plexa writes pictures into a YUV surface and blits it, GDI as the fallback.
//
// Threads: the producer calls PutOneFrame only; the decode thread runs the decoding,
// OnVideoStream, snapshot queueing and the recording hand-off; the recording thread runs Run.
// Everything else belongs to the owner's (window) thread. Flags that another thread reads are
// atomic; the pending recording records are guarded by m_pendingLock.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/kernel/win_types.h"
#include "videolib/avi_writer.h"
#include "videolib/deinterlace.h"
#include "videolib/frame_fifo.h"
#include "videolib/info_panel.h"
#include "videolib/lock.h"
#include "videolib/play_wave.h"
#include "videolib/surface.h"
#include "videolib/thread.h"
#include "videolib/video_out.h"
#include "videolib/video_wnd.h"

class CChannel : public CVideoWnd, public CSurface, public CAviWriter, public CThread {
 public:
  // The decode thread's input buffer: one D1 picture's worth (720 x 576).
  static constexpr int kInputBufferBytes = 414720;
  // The longest frame PutOneFrame accepts: what the ring can ever hold, which is also less
  // than the decode thread's input buffer.
  static constexpr int kMaxFrameBytes =
      FrameFifo::kMaxFrame < kInputBufferBytes ? FrameFifo::kMaxFrame : kInputBufferBytes;
  static constexpr uint8_t kStopMarker = 0xEF;
  static constexpr UINT_PTR kDecodeTimer = 10;  // the window timer of the option buttons
  // Bounds of StopDecode: decoding what is queued (keep 1), then the thread's end once told.
  static constexpr DWORD kDrainMs = 10000;
  static constexpr DWORD kStopMs = 2000;
  static constexpr DWORD kRecordStopMs = 5000;  // the recording thread's end in the destructor

  CChannel();
  // Stops the recording and decode threads when still running, frees the ring and buffers.
  ~CChannel() override;

  // Renderer set-up, then the library's capture thread. Null (nothing started) when the
  // renderer cannot be set up.
  static CVideoOut* InitRender();
  // Releases the renderer, stops the capture thread and frees snapshots still queued.
  static void UninitRender();
  static void InitSound();
  static void UninitSound();

  // Sizes the channel for width x height pictures in layout `code` (22 when `y41p` is set).
  // Does not free earlier buffers: call Close first. LocPlexa returns 0 when its overlay
  // surface cannot be made; Plexa returns 1.
  int Open(int width, int height, int code, int y41p, int reserved);
  void Close();
  int CheckVideoSize(int width, int height);

  // Starts the decode thread; 1 when started. A thread still running is not started twice.
  int StartDecode();
  // keep 0: drops the frames still queued and stops at once; keep 1: every frame queued
  // before now is decoded and shown first (up to kDrainMs, then as keep 0). Waits for the
  // decode thread either way, kStopMs at most once it is told to stop; a thread still running
  // then is reported and kept (StartDecode refuses to start another).
  void StopDecode(int keep);
  int IsDecodeing() const { return m_bDecoding; }
  int ResetDecodeing(int decoding) { return m_bDecoding = decoding; }

  // How the frames handed over from now on are coded (H.264 until told otherwise); the
  // decode thread changes its decoder before the next frame it takes. Any thread.
  static constexpr int kCodecH264 = 0;
  static constexpr int kCodecH265 = 1;
  void SetVideoCodec(int codec) { m_videoCodec = codec == kCodecH265 ? kCodecH265 : kCodecH264; }
  int GetVideoCodec() const { return m_videoCodec; }

  // Producer side: blocks while the ring is full and a decode thread runs; with none running a
  // frame that does not fit is dropped (0). Returns 1 when stored. A frame that can
  // never be stored (negative, or longer than kMaxFrameBytes) is refused with 0 and reported
  // once per channel.
  int PutOneFrame(const BYTE* frame, int length);
  // Decode-thread side: waits for a whole frame (up to kInputBufferBytes) and takes it.
  // Returns 0 for the stop marker (one byte 0xEF) and when decoding is stopped, otherwise 1.
  int GetOneFrame(BYTE* buffer, int& length);

  // Queues a snapshot of the picture in m_yuvBuf (for a paused playback). 0 when the capture
  // thread is not running, there is no picture yet or the queue is full.
  int PutPauseFifo();
  void Snap() { ++m_nSnap; }

  // One picture in m_videoFormat layout; the decode thread's hand-off. Returns 1.
  virtual int OnVideoStream(BYTE* picture, int width, int height, int64_t time, void* reserved);
  // One planar 4:2:0 picture as three planes. Returns 1.
  virtual int OnVideoStream(BYTE* y, BYTE* u, BYTE* v, int width, int height, int64_t time,
                            void* reserved);
  virtual int OnAudioStream(BYTE* data, int length, int64_t time);

  void EnableSound(int enable) { m_bSound = enable; }
  int IsSaving() const { return m_bSaving; }
  void EnableDeinterlace(int on);
  void SetFrameRate(int rate) { m_frameRate = rate; }
  void SetTestFileStream(int on) { m_bTestFile = on; }

  void ShowVideo(int show);
  int IsVisible() override { return m_bVisible; }
  void UpdateStatus();
  void OnSetCurrent(int current) override;

#if VIDEOLIB_GDI_TEXT
  // The two text lines over the picture: index 0 is the top line, 1 the bottom one; other
  // indexes are ignored. Drawn on request only, by DrawOsdString (on_screen_text.cpp).
  void SetOsdEnable(int index, int enable);
  void UpdateOsdstr(int index, const char* text);
  // Makes the text font anew at this height (2 at least: the line length is counted in
  // half-heights).
  void SetFontSize(int size);
  void SetFontColor(COLORREF color) { m_crOsdText = color; }
  void SetFontBkColor(COLORREF color) { m_crOsdBack = color; }
  void DrawOsdString(HWND window);
#endif

  static void SetCapturePath(std::string path);
  std::string GetCapturePath() const;

  // The recording step: writes the picture and audio block handed over last. Returns 0.
  unsigned Run() override;

  static CVideoOut m_vOut;
  static CPlayWave m_aOut;
  static SW_SHOW_ARR_ST m_swdata;
#if VIDEOLIB_GDI_TEXT
  static std::string m_SipName;  // device name in snapshot file names
  static int m_capchn;           // 0-based channel number in snapshot file names
#endif

  std::atomic<int> m_bTestFile{0};
  std::atomic<int> m_frameRate{0};

 protected:
  struct Pending {
    BYTE* data = nullptr;
    long size = 0;
    int64_t time = 0;
  };

  int m_lastWidth = 0;  // of the last picture given to the first OnVideoStream form
  int m_lastHeight = 0;
  int m_lastFormat = 0;
  BYTE* m_pPauseCopy = nullptr;  // the copy PutPauseFifo queued last (owned by the queue)
  // Set by a subclass that reads every decoded picture in the first OnVideoStream form: each
  // is then packed into m_yuvBuf and handed there. Otherwise a picture that is only drawn
  // goes from the decoder's planes to the window without that copy.
  bool m_bPackPictures = false;

 public:
  std::atomic<int> m_bSound{0};
  std::atomic<int> m_bSaving{0};
  int m_nFrameInterval = 40;  // ms, passed to every WriteVideo
  std::atomic<int> m_nSnap{0};
  BYTE* m_yuvBuf = nullptr;    // width x height x 3, 16-byte aligned
  BYTE* m_deintBuf = nullptr;  // width x height x 2, 16-byte aligned (Y41P deinterlacing)
  BYTE* m_drawBuf = nullptr;   // width x height x 2, YUY2 for drawing
  std::atomic<int> m_videoFormat{1};
  std::atomic<int> m_bDraw{1};
  std::atomic<int> m_bDeinterlace{0};

 protected:
#if VIDEOLIB_GDI_TEXT
  // The two text lines over the picture, drawn by the on-screen text code.
  int m_bOsdEnable[2] = {1, 1};
  int m_bOsdOpaque = 0;
  std::string m_strOsd[2];
  int m_nFontSize = 13;
  HFONT m_hOsdFont = nullptr;  // made on first use
  COLORREF m_crOsdText = 255;
  COLORREF m_crOsdBack = 0xFF0000;
#endif
  Pending m_pendingVideo;  // guarded by m_pendingLock
  Pending m_pendingAudio;  // guarded by m_pendingLock
  CrLockCS m_pendingLock;
  CrLockCS m_bufferLock;  // held by the recording write and by a resize of the buffers
  CDinterlace m_deint;
  FrameFifo m_frameFifo;
  HANDLE m_hDecodeThread = nullptr;
  std::atomic<int> m_bDecoding{0};
  std::atomic<int> m_videoCodec{kCodecH264};
  int m_width = 0;
  int m_height = 0;

 private:
  static unsigned DecodeThreadProc(void* self);
  void DecodeLoop();
  // Feeds one frame and handles every picture it yields; false ends the loop.
  bool DecodeFrame(void* decoder, BYTE* input, int length, HANDLE rate_event, bool* first);
  void OnDecodedPicture(const void* picture, bool* first, HANDLE rate_event);
  // Whether a decoded picture goes from its planes to the window: nothing on its way needs
  // it packed (no snapshot due, no recording, no deinterlacing, no surface).
  bool ShowsPlanesDirectly() const;
  void ShowPlanes(const BYTE* y, const BYTE* u, const BYTE* v, size_t y_stride, size_t uv_stride,
                  int width, int height);
  // Before the decoder goes: the last picture is packed into m_yuvBuf, where a later paused
  // snapshot still finds it.
  void KeepLastPicture();
  // Recreates the buffers and the surface for a new size (the first picture of a run, or one
  // whose size changed); false when the new surface cannot be made.
  bool Resize(int width, int height);
  bool AllocBuffers(int width, int height);
  // The window rectangle the blit path presents into (screen coordinates).
  RECT PictureRect();
  void CopyPanel(SW_SHOW_ST* out) const;
  // The drawing step of the first OnVideoStream form; returns the picture drawn.
  BYTE* DrawPicture(BYTE* picture, int width, int height);
  void DrawYuy2Fallback(const BYTE* yuy2, int width, int height, int title, int focus,
                        const SW_SHOW_ST& panel);
  HRESULT PresentSurface(const BYTE* picture, const SW_SHOW_ST& panel);
  void HandOffVideo(BYTE* drawn, int width, int height, int64_t time);
  void QueueSnapshot(const BYTE* picture, int width, int height);
  bool FitsBuffers(int width, int height) const;

  // The last decoded picture: the decoder's own planes, valid until it hands out the next, or
  // m_yuvBuf once the decoder is gone. Every decoder call holds the lock, so a reader on
  // another thread (PutPauseFifo) never sees planes the decoder has let go.
  struct Planes {
    const BYTE* y = nullptr;
    const BYTE* u = nullptr;
    const BYTE* v = nullptr;
    size_t y_stride = 0;
    size_t uv_stride = 0;
    int width = 0;
    int height = 0;
  };
  Planes m_lastPlanes;  // guarded by m_lastPlanesLock
  CrLockCS m_lastPlanesLock;
  bool PutStopMarker(DWORD timeout_ms);

  std::atomic<int> m_bOversizeReported{0};
};
