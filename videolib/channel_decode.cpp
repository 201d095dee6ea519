// The channel's decode thread: frames from the ring through the H.264 decoder to the window,
// packed into m_yuvBuf on the way where snapshots, recording or a reading subclass need it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/h264dec/hi_h264dec_w.h"
#include "platform/kernel/kernel.h"
#include "platform/mm/mmsystem.h"
#include "platform/ui/ui.h"
#include "videolib/channel.h"
#include "videolib/channel_internal.h"

using channel_internal::kVerbose;

namespace channel_internal {
CrLockCS& DecoderLock() {
  static CrLockCS lock;  // around every decoder create and destroy of every channel
  return lock;
}

namespace {
// Rows of `width` bytes `stride` apart into a packed plane.
void CopyPlane(const BYTE* src, size_t stride, BYTE* dst, int width, int rows) {
  const size_t w = static_cast<size_t>(width);
  if (stride == w) {
    std::memcpy(dst, src, w * static_cast<size_t>(rows));
    return;
  }
  for (int r = 0; r < rows; ++r) std::memcpy(dst + w * r, src + stride * r, w);
}
}  // namespace

void PackPlanes(const BYTE* y, const BYTE* u, const BYTE* v, size_t y_stride, size_t uv_stride,
                int width, int height, BYTE* dst) {
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  CopyPlane(y, y_stride, dst, width, height);
  CopyPlane(u, uv_stride, dst + luma, width / 2, height / 2);
  CopyPlane(v, uv_stride, dst + luma + luma / 4, width / 2, height / 2);
}
}  // namespace channel_internal

namespace {

// A decoder that keeps answering with an unknown result would hold the thread in its fetch
// loop for good; after this many in a row the thread goes on with the next frame.
constexpr int kMaxUnknownResults = 64;

void PrintDecoderInfo() {
  H264_LIBINFO_S info{};
  if (Hi264DecGetInfo(&info) != 0) return;
  std::fprintf(stderr, "Version: %s\nCopyright: %s\n\n", info.sVersion, info.sCopyRight);
  std::fprintf(stderr, "Function 0x%x\n", info.uFunctionSet);
}

HI_HDL CreateDecoder(int codec) {
  H264_DEC_ATTR_S attr{};
  attr.uPictureFormat = 0;
  attr.uStreamInType = 0;
  attr.uPicWidthInMB = 45;  // 720 x 576
  attr.uPicHeightInMB = 36;
  attr.uBufNum = 3;
  attr.uWorkMode = 0;
  CrAutoLock lock(&channel_internal::DecoderLock());
  if (codec == CChannel::kCodecH265) return HiVideoDecCreate(&attr, HI_VIDEO_CODEC_H265);
  return Hi264DecCreate(&attr);
}

void DestroyDecoder(HI_HDL decoder) {
  CrAutoLock lock(&channel_internal::DecoderLock());
  Hi264DecDestroy(decoder);
}

// The multimedia timer that paces pictures from a test file.
struct RateTimer {
  HANDLE event = nullptr;
  UINT id = 0;

  void Start(int frame_rate) {
    event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    if (event == nullptr) std::printf("failed to create hRateTimerEvent\n");
    UINT period = frame_rate > 0 ? 1000 / frame_rate : 39;
    id = timeSetEvent(period, 0, reinterpret_cast<LPTIMECALLBACK>(event), 0,
                      TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
    if (id == 0) {
      std::printf("timeSetEvent is failed,error code:%d\r\n", static_cast<int>(GetLastError()));
    }
  }
  HANDLE pacing() const { return event != nullptr && id != 0 ? event : nullptr; }
  void Stop() {
    if (id != 0) timeKillEvent(id);
    if (event != nullptr) CloseHandle(event);
    id = 0;
    event = nullptr;
  }
};

// A 160 x 120 source arrives padded to whole macroblocks.
int ShownHeight(int height) { return VIDEOLIB_GDI_TEXT && height == 128 ? 120 : height; }

}  // namespace

using channel_internal::PackPlanes;

unsigned CChannel::DecodeThreadProc(void* self) {
  static_cast<CChannel*>(self)->DecodeLoop();
  return 0;
}

void CChannel::DecodeLoop() {
  if (!VIDEOLIB_GDI_TEXT) InvalidateRect(m_hWnd, nullptr, TRUE);
  RateTimer timer;
  BYTE* input = static_cast<BYTE*>(std::malloc(kInputBufferBytes));
  HI_HDL decoder = nullptr;
  int decoder_codec = kCodecH264;
  if (input == nullptr) {
    std::printf("error to malloc videoBuf,chn:%d\n", m_nChannel);
  } else {
    PrintDecoderInfo();
    decoder_codec = m_videoCodec;
    decoder = CreateDecoder(decoder_codec);
    if (decoder == nullptr) std::printf("create decode error--chn:%d\n", m_nChannel);
  }
  if (decoder != nullptr) {
    if (m_bTestFile) timer.Start(m_frameRate);
    bool first = true;
    do {
      int length = 0;
      if (GetOneFrame(input, length) == 0) break;
      if (const int wanted = m_videoCodec; wanted != decoder_codec) {
        // A stream of the other coding starts: its frames need the other decoder.
        HI_HDL other = CreateDecoder(wanted);
        if (other == nullptr) {
          std::printf("create decode error--chn:%d\n", m_nChannel);
          break;
        }
        KeepLastPicture();
        DestroyDecoder(decoder);
        decoder = other;
        decoder_codec = wanted;
      }
      if (!DecodeFrame(decoder, input, length, timer.pacing(), &first)) break;
    } while (m_bDecoding);
    KeepLastPicture();
    DestroyDecoder(decoder);
  }
  timer.Stop();
  m_bOptionBtn = 0;
  KillTimer(m_hWnd, kDecodeTimer);
  InvalidateRect(m_hWnd, nullptr, TRUE);
  std::free(input);
  m_bDecoding = 0;
  // Nobody takes records out from now on: a producer must not wait for space.
  m_frameFifo.SetReader(false);
}

bool CChannel::DecodeFrame(void* decoder, BYTE* input, int length, HANDLE rate_event, bool* first) {
  H264_DEC_FRAME_S picture{};
  const HI_U32 end = length <= 0 ? HI_H264DEC_FLAG_END_OF_STREAM : 0;
  // A call that gives a picture lets the one before go: the last picture's planes change
  // under the same lock.
  auto decode = [&](BYTE* data, HI_U32 bytes, HI_U32 flags) {
    CrAutoLock planes(&m_lastPlanesLock);
    HI_S32 result = Hi264DecFrame(decoder, data, bytes, 0, &picture, flags);
    if (result == HI_H264DEC_OK) {
      m_lastPlanes = Planes{picture.pY,
                            picture.pU,
                            picture.pV,
                            picture.uYStride,
                            picture.uUVStride,
                            static_cast<int>(picture.uWidth),
                            ShownHeight(static_cast<int>(picture.uHeight))};
    }
    return result;
  };
  HI_S32 r = decode(input, length > 0 ? static_cast<HI_U32>(length) : 0, end);
  int unknown = 0;
  while (r != HI_H264DEC_NEED_MORE_BITS) {
    if (!m_bDecoding) return false;
    if (r == HI_H264DEC_NO_PICTURE) {
      InvalidateRect(m_hWnd, nullptr, TRUE);
      return true;
    }
    if (r == HI_H264DEC_OK) {
      unknown = 0;
      OnDecodedPicture(&picture, first, rate_event);
    } else if (++unknown >= kMaxUnknownResults) {
      return true;
    }
    r = decode(nullptr, 0, end);
  }
  return true;
}

bool CChannel::Resize(int width, int height) {
  if (kVerbose) std::printf("DecodeThreadProc width = %d height = %d \n", width, height);
  // The recording thread may be writing the last picture handed over, from m_drawBuf: it
  // finishes first, and nothing handed over before the resize is written after it.
  CrAutoLock buffers(&m_bufferLock);
  {
    CrAutoLock pending(&m_pendingLock);
    m_pendingVideo = Pending{};
  }
  Close();
  if (kVerbose) std::printf("Open==================error\n");
#if VIDEOLIB_GDI_TEXT
  bool made = SUCCEEDED(CreateOsd(m_vOut.GetDirectDraw(), width, height));
#else
  bool made = SUCCEEDED(CSurface::Create(m_vOut.GetDirectDraw(), width, height, 0, nullptr));
#endif
  if (!made) {
    if (kVerbose) std::printf("Create 0sd surface error\n");
    m_width = m_height = 0;
    return false;
  }
  m_videoFormat = 0;
  return AllocBuffers(width, height);
}

void CChannel::OnDecodedPicture(const void* decoded, bool* first, HANDLE rate_event) {
  const auto& pic = *static_cast<const H264_DEC_FRAME_S*>(decoded);
  const int width = static_cast<int>(pic.uWidth);
  const int height = ShownHeight(static_cast<int>(pic.uHeight));
  const size_t y_stride = pic.uYStride;
  const size_t uv_stride = pic.uUVStride;
  // The first picture of a run, and any later one of another size, sizes the buffers and the
  // surface anew.
  if (*first || width != m_width || height != m_height) {
    *first = false;
    if (width != m_width || height != m_height) Resize(width, height);
  }
  // Without buffers of this size (the resize failed) or with rows shorter than the picture
  // the picture is dropped rather than read or written past the buffers.
  if (!FitsBuffers(width, height) || y_stride < static_cast<size_t>(width) ||
      uv_stride < static_cast<size_t>(width / 2)) {
    return;
  }
  if (ShowsPlanesDirectly()) {
    ShowPlanes(pic.pY, pic.pU, pic.pV, y_stride, uv_stride, width, height);
  } else {
    // Snapshots, recording and deinterlacing take the picture packed: its rows are packed
    // as they are copied, so everything downstream sees planes of the picture's width.
    PackPlanes(pic.pY, pic.pU, pic.pV, y_stride, uv_stride, width, height, m_yuvBuf);
    OnVideoStream(m_yuvBuf, width, height, 0, nullptr);
  }
  // The pacing timer is periodic; the bound keeps a lost tick from holding the thread.
  if (rate_event != nullptr) WaitForSingleObject(rate_event, 1000);
}

void CChannel::KeepLastPicture() {
  CrAutoLock lock(&m_lastPlanesLock);
  const Planes last = m_lastPlanes;
  if (last.y == nullptr || last.y == m_yuvBuf) return;
  m_lastPlanes = Planes{};
  if (!FitsBuffers(last.width, last.height)) return;
  PackPlanes(last.y, last.u, last.v, last.y_stride, last.uv_stride, last.width, last.height,
             m_yuvBuf);
  const size_t luma = static_cast<size_t>(last.width) * static_cast<size_t>(last.height);
  m_lastPlanes = Planes{m_yuvBuf,
                        m_yuvBuf + luma,
                        m_yuvBuf + luma + luma / 4,
                        static_cast<size_t>(last.width),
                        static_cast<size_t>(last.width / 2),
                        last.width,
                        last.height};
}
