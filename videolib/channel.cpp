#include "videolib/channel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/kernel/kernel.h"
#include "platform/ui/ui.h"
#include "videolib/channel_internal.h"

CVideoOut CChannel::m_vOut;
CPlayWave CChannel::m_aOut;
SW_SHOW_ARR_ST CChannel::m_swdata{};
#if VIDEOLIB_GDI_TEXT
std::string CChannel::m_SipName;
int CChannel::m_capchn = 0;
#endif

namespace channel_internal {

BYTE* AlignedAlloc(size_t bytes) {
  size_t rounded = (bytes + 15) & ~size_t{15};
  return static_cast<BYTE*>(std::aligned_alloc(16, rounded == 0 ? 16 : rounded));
}

}  // namespace channel_internal

using channel_internal::AlignedAlloc;
using channel_internal::kVerbose;

CChannel::CChannel() { m_frameFifo.Create(); }

CChannel::~CChannel() {
  // The recording thread runs Run on this object and the decode thread draws from its
  // buffers: both must be gone before anything is freed. Both have been told to stop by now
  // and wait on nothing without a bound themselves, so the waits below end; a thread that
  // takes longer than its bound is reported and then waited for, since freeing under it
  // would crash.
  CThread::Exit(kRecordStopMs);
  if (m_hDecodeThread != nullptr) StopDecode(0);
  if (m_hDecodeThread != nullptr) {
    WaitForSingleObject(m_hDecodeThread, INFINITE);
    CloseHandle(m_hDecodeThread);
    m_hDecodeThread = nullptr;
  }
  m_frameFifo.Destroy();
  Close();
  m_deint.Release();
#if VIDEOLIB_GDI_TEXT
  if (m_hOsdFont != nullptr) DeleteObject(m_hOsdFont);
  m_hOsdFont = nullptr;
#endif
}

bool CChannel::AllocBuffers(int width, int height) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  m_yuvBuf = AlignedAlloc(pixels * 3);
  m_drawBuf = static_cast<BYTE*>(std::malloc(pixels * 2 == 0 ? 1 : pixels * 2));
  if (m_yuvBuf == nullptr || m_drawBuf == nullptr) {
    std::free(m_yuvBuf);
    std::free(m_drawBuf);
    m_yuvBuf = m_drawBuf = nullptr;
    return false;
  }
  m_width = width;
  m_height = height;
  return true;
}

int CChannel::Open(int width, int height, int code, int y41p, int) {
  if (kVerbose) std::printf("Open==================error\n");
  if (width <= 0 || height <= 0) return 0;
#if VIDEOLIB_GDI_TEXT
  if (FAILED(CreateOsd(m_vOut.GetDirectDraw(), width, height))) {
    std::printf("Create 0sd surface error\n");
    return 0;
  }
#else
  CSurface::Create(m_vOut.GetDirectDraw(), width, height, code, nullptr);
#endif
  m_videoFormat = y41p ? 22 : code;
  if (!AllocBuffers(width, height)) return 0;
  return 1;
}

void CChannel::Close() {
  {
    CrAutoLock lock(&m_lastPlanesLock);
    if (m_lastPlanes.y == m_yuvBuf) m_lastPlanes = Planes{};
  }
  CSurface::Destroy();
  std::free(m_yuvBuf);
  std::free(m_deintBuf);
  m_yuvBuf = m_deintBuf = nullptr;
  if (kVerbose) std::printf("Close m_drawBuf = %p\n", static_cast<void*>(m_drawBuf));
  std::free(m_drawBuf);
  m_drawBuf = nullptr;
}

int CChannel::CheckVideoSize(int width, int height) {
  return width == m_width && height == m_height ? 1 : 0;
}

bool CChannel::FitsBuffers(int width, int height) const {
  return m_yuvBuf != nullptr && m_drawBuf != nullptr && width > 0 && height > 0 &&
         static_cast<int64_t>(width) * height <= static_cast<int64_t>(m_width) * m_height;
}

int CChannel::StartDecode() {
  if (m_hDecodeThread != nullptr) {
    // A thread that ended by itself (no decoder, no memory) leaves its handle behind; one
    // that still runs keeps the ring to itself.
    if (WaitForSingleObject(m_hDecodeThread, 0) != WAIT_OBJECT_0) return 0;
    CloseHandle(m_hDecodeThread);
    m_hDecodeThread = nullptr;
  }
  m_bOptionBtn = 1;
  if (!VIDEOLIB_GDI_TEXT || m_bTitle) SetTimer(m_hWnd, kDecodeTimer, 200, nullptr);
  // Set before the thread runs, so that a StopDecode that comes first is not undone by it.
  m_bDecoding = 1;
  m_frameFifo.SetReader(true);
  m_hDecodeThread = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 256 * 1024, &CChannel::DecodeThreadProc, this, 0, nullptr));
  if (m_hDecodeThread == nullptr) {
    m_frameFifo.SetReader(false);
    m_bDecoding = 0;
  }
  return m_hDecodeThread != nullptr ? 1 : 0;
}

bool CChannel::PutStopMarker(DWORD timeout_ms) {
  // The thread detaches from the ring when it ends, which also ends this wait.
  return m_frameFifo.PutRecord(&kStopMarker, 1, timeout_ms) == 1;
}

void CChannel::StopDecode(int keep) {
  if (keep == 0) {
    m_bDecoding = 0;
    m_frameFifo.SetReader(false);  // wakes the thread's wait for a record
    m_frameFifo.Flush();
  }
  if (m_hDecodeThread != nullptr) {
    DWORD ended = WAIT_TIMEOUT;
    if (keep != 0) {
      // Everything queued is decoded first, but a decoder that is too slow for the bound is
      // stopped like keep 0.
      const DWORD start = GetTickCount();
      if (PutStopMarker(kDrainMs)) {
        const DWORD spent = GetTickCount() - start;
        ended = WaitForSingleObject(m_hDecodeThread, spent < kDrainMs ? kDrainMs - spent : 0);
      }
      if (ended != WAIT_OBJECT_0) {
        std::printf("chn %d: queued frames not decoded within %u ms; dropped\n", m_nChannel,
                    static_cast<unsigned>(kDrainMs));
        m_bDecoding = 0;
        m_frameFifo.SetReader(false);
        m_frameFifo.Flush();
      }
    }
    if (ended != WAIT_OBJECT_0) ended = WaitForSingleObject(m_hDecodeThread, kStopMs);
    if (ended != WAIT_OBJECT_0) {
      // It cannot be killed safely: the handle stays, so that StartDecode refuses a second
      // thread and the destructor waits for this one.
      std::printf("chn %d: decode thread did not end within %u ms; left to finish\n", m_nChannel,
                  static_cast<unsigned>(kStopMs));
      m_bOptionBtn = 0;
      return;
    }
    m_frameFifo.SetReader(false);
    m_frameFifo.Flush();
    CloseHandle(m_hDecodeThread);
    m_hDecodeThread = nullptr;
  }
  m_bOptionBtn = 0;
}

int CChannel::PutOneFrame(const BYTE* frame, int length) {
  if (length < 0) {
    if (kVerbose) std::printf("bulen error:%d\n", length);
    return 0;
  }
  if (length > kMaxFrameBytes || (frame == nullptr && length > 0) || !m_frameFifo.usable()) {
    if (m_bOversizeReported.exchange(1) == 0) {
      std::printf("frame of %d bytes refused by chn %d: the frame ring holds %d at most\n", length,
                  m_nChannel, kMaxFrameBytes);
    }
    return 0;
  }
  static const BYTE kEmpty = 0;
  return m_frameFifo.PutRecord(frame != nullptr ? frame : &kEmpty, length);
}

int CChannel::GetOneFrame(BYTE* buffer, int& length) {
  if (!m_frameFifo.GetRecord(buffer, kInputBufferBytes, &length)) return 0;
  return length == 1 && buffer[0] == kStopMarker ? 0 : 1;
}

void CChannel::EnableDeinterlace(int on) {
  if (on == 0) {
    m_bDeinterlace = 0;
    return;
  }
  const int format = m_videoFormat;
  if (format == 22 && m_deintBuf == nullptr) {
    m_deintBuf = AlignedAlloc(static_cast<size_t>(m_width) * m_height * 2);
  }
  if ((format != 22 && format != 1) || (format == 22 && m_deintBuf == nullptr) ||
      m_deint.Setup(m_width * 2, m_height) == 0) {
    m_bDeinterlace = 0;
    return;
  }
  m_bDeinterlace = 1;
}

void CChannel::ShowVideo(int show) {
  ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE);
  m_bVisible = show;
}

void CChannel::UpdateStatus() {
  UpdateTitle("");
  m_nFrames = 0;
}

void CChannel::OnSetCurrent(int current) {
  SendToParent(GetSelectMessage(), static_cast<WPARAM>(m_nChannel), current);
}

int CChannel::OnAudioStream(BYTE* data, int length, int64_t time) {
  if (m_bSound) m_aOut.Write(data, length);
  if (m_bSaving) {
    {
      CrAutoLock lock(&m_pendingLock);
      m_pendingAudio = Pending{data, length, time};
    }
    SetEvent(DataEvent());
  }
  return 1;
}

void CChannel::HandOffVideo(BYTE* drawn, int width, int height, int64_t time) {
  {
    CrAutoLock lock(&m_pendingLock);
    m_pendingVideo = Pending{drawn, static_cast<long>(width) * height * 2, time};
  }
  SetEvent(DataEvent());
}

unsigned CChannel::Run() {
  Pending video;
  Pending audio;
  {
    CrAutoLock lock(&m_pendingLock);
    video = std::exchange(m_pendingVideo, Pending{});
    audio = std::exchange(m_pendingAudio, Pending{});
  }
  if (video.data != nullptr) {
    CrAutoLock buffers(&m_bufferLock);  // a resize must not free the picture mid-write
    WriteVideo(video.data, video.size, video.time, m_nFrameInterval);
  }
  if (audio.data != nullptr) WriteAudio(audio.data, audio.size);
  return 0;
}
