// The picture hand-off: snapshots, drawing through the surface or the GDI path, recording.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ui/ui.h"
#include "videolib/channel.h"
#include "videolib/channel_internal.h"
#include "videolib/pixel_convert.h"

namespace {

size_t SnapshotBytes(int format, int width, int height) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  return format == 0 ? pixels * 3 / 2 : pixels * 2;
}

}  // namespace

void CChannel::QueueSnapshot(const BYTE* picture, int width, int height) {
  const int format = m_videoFormat;
  const size_t bytes = SnapshotBytes(format, width, height);
  auto* copy = static_cast<uint8_t*>(std::malloc(bytes));
  if (copy == nullptr) return;
  std::memcpy(copy, picture, bytes);
  if (!channel_internal::QueueSnap(SnapItem{width, height, format, copy})) std::free(copy);
}

int CChannel::PutPauseFifo() {
  if (!channel_internal::CaptureRunning()) return 0;
  const int format = m_videoFormat;
  // A decoded picture is read from its planes, which the decode thread does not let go
  // while the lock is held; other pictures from m_yuvBuf.
  CrAutoLock lock(&m_lastPlanesLock);
  const Planes last = m_lastPlanes;
  const bool decoded = format == 0 && last.y != nullptr;
  const int width = decoded ? last.width : m_lastWidth;
  const int height = decoded ? last.height : m_lastHeight;
  // No picture yet: an item of size 0 x 0 would be taken for the capture thread's stop.
  if (decoded ? width <= 0 || height <= 0 : !FitsBuffers(width, height)) return 0;
  const size_t bytes = SnapshotBytes(format, width, height);
  auto* copy = static_cast<uint8_t*>(std::malloc(bytes));
  if (copy == nullptr) return 1;
  if (decoded) {
    channel_internal::PackPlanes(last.y, last.u, last.v, last.y_stride, last.uv_stride, width,
                                 height, copy);
  } else {
    std::memcpy(copy, m_yuvBuf, bytes);
  }
  if (!channel_internal::QueueSnap(SnapItem{width, height, format, copy})) {
    std::free(copy);
    return 0;
  }
  m_pPauseCopy = copy;
  return 1;
}

RECT CChannel::PictureRect() {
  RECT r{0, 0, 0, 0};
  GetWindowRect(m_hWnd, &r);
  if (m_bTitle) r.top += kTitleHeight;
  if (m_bFocused) {
    r.left += 2;
    r.right -= 2;
    r.bottom -= 2;
  }
  return r;
}

void CChannel::CopyPanel(SW_SHOW_ST* out) const {
  const uint32_t count = m_swdata.count;
  if (count == 1 || count == 2) {
    std::memcpy(out, &m_swdata.records[count - 1], sizeof(*out));
  } else {
    std::memset(out, 0, sizeof(*out));
  }
}

HRESULT CChannel::PresentSurface(const BYTE* picture, const SW_SHOW_ST& panel) {
  HRESULT hr = CSurface::Draw(picture, FALSE, 0);
  if (FAILED(hr)) return hr;
  RECT rect = PictureRect();
#if VIDEOLIB_GDI_TEXT
  m_vOut.BltSurface(m_pSurface, m_hWnd, &panel, m_nChannel, &rect, m_pOsdSurface);
#else
  m_vOut.BltSurface(m_pSurface, m_hWnd, &panel, m_nChannel, &rect);
#endif
  return hr;
}

void CChannel::DrawYuy2Fallback(const BYTE* yuy2, int width, int height, int title, int focus,
                                const SW_SHOW_ST& panel) {
  m_vOut.DrawDibYuy2(yuy2, m_hWnd, &panel, m_nChannel, title, focus, width, height);
}

BYTE* CChannel::DrawPicture(BYTE* picture, int width, int height) {
  const int format = m_videoFormat;
  const bool deinterlace =
      m_bDeinterlace && m_deint.ready() && width == m_width && height == m_height;
  BYTE* pic = picture;
  if (format == 22) {
    pixel::Y41PToYuy2(picture, m_yuvBuf, width, height);
    pic = m_yuvBuf;
    if (deinterlace && m_deintBuf != nullptr) {
      m_deint.Process(m_yuvBuf, m_deintBuf);
      pic = m_deintBuf;
    }
  } else if (deinterlace) {
    BYTE* out = picture != m_yuvBuf ? m_yuvBuf : m_drawBuf;
    m_deint.Process(picture, out);
    pic = out;
  }
  if (!m_bDraw) return pic;
  SW_SHOW_ST panel;
  CopyPanel(&panel);
  if (SUCCEEDED(PresentSurface(pic, panel))) return pic;
  if (format == 1) {
    DrawYuy2Fallback(pic, width, height, 1, 0, panel);
  } else if (format == 0) {
    // Converted as it is drawn, and only as far as the window shows it: the picture the
    // YUY2 form would give, without a whole-picture pass into m_drawBuf.
    const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
    m_vOut.DrawDibPlanar(pic, pic + luma, pic + luma + luma / 4, m_hWnd, &panel, m_nChannel,
                         m_bTitle, m_bFocused, width, height);
  }
  return pic;
}

bool CChannel::ShowsPlanesDirectly() const {
  return !m_bPackPictures && m_videoFormat == 0 && m_nSnap == 0 && !m_bSaving &&
         !(m_bDeinterlace && m_deint.ready()) && m_pSurface == nullptr;
}

void CChannel::ShowPlanes(const BYTE* y, const BYTE* u, const BYTE* v, size_t y_stride,
                          size_t uv_stride, int width, int height) {
  // What the first OnVideoStream form does with a picture it only draws.
  m_lastWidth = width;
  m_lastHeight = height;
  m_lastFormat = 0;
  if (m_bVisible && m_bDraw) {
    SW_SHOW_ST panel;
    CopyPanel(&panel);
    m_vOut.DrawDibPlanes(y, u, v, y_stride, uv_stride, m_hWnd, &panel, m_nChannel, m_bTitle,
                         m_bFocused, width, height);
  }
  ++m_nFrames;
}

int CChannel::OnVideoStream(BYTE* picture, int width, int height, int64_t time, void*) {
  m_lastWidth = width;
  m_lastHeight = height;
  m_lastFormat = m_videoFormat;
  if (m_nSnap > 0) {
    QueueSnapshot(picture, width, height);
    --m_nSnap;
  }
  // Pictures larger than the buffers were sized for cannot be converted or drawn.
  if (FitsBuffers(width, height)) {
    BYTE* drawn = m_bVisible ? DrawPicture(picture, width, height) : picture;
    if (m_bSaving) {
      // Recording takes YUY2 pictures; a planar one is converted unless drawing just did.
      if (m_videoFormat == 0 && drawn != m_drawBuf) {
        pixel::Yuv420pToYuy2(drawn, m_drawBuf, width, height);
        drawn = m_drawBuf;
      }
      HandOffVideo(drawn, width, height, time);
    }
  }
  ++m_nFrames;
  return 1;
}

int CChannel::OnVideoStream(BYTE* y, BYTE* u, BYTE* v, int width, int height, int64_t time, void*) {
  if (!FitsBuffers(width, height)) {
    ++m_nFrames;
    return 1;
  }
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t chroma = luma / 4;
  const int format = m_videoFormat;
  if (m_bVisible && m_bDraw) {
    SW_SHOW_ST panel;
    CopyPanel(&panel);
    // The surface writers take one buffer with the planes back to back; without a surface
    // (LocPlexa) the DrawDib path takes the planes where they are.
    BYTE* planar = y;
    if (m_pSurface != nullptr && format == 0 && (u != y + luma || v != u + chroma)) {
      std::memcpy(m_drawBuf, y, luma);
      std::memcpy(m_drawBuf + luma, u, chroma);
      std::memcpy(m_drawBuf + luma + chroma, v, chroma);
      planar = m_drawBuf;
    }
    if (FAILED(PresentSurface(planar, panel))) {
      if (format == 1) {
        DrawYuy2Fallback(y, width, height, 1, 0, panel);
      } else if (format == 0) {
        std::printf("width:%d,height:%d\n", width, height);
        m_vOut.DrawDibPlanar(y, u, v, m_hWnd, &panel, m_nChannel, 1, 0, width, height);
      }
    }
  }
  if (m_bSaving) {
    BYTE* yuy2 = y;
    if (format == 0) {
      pixel::Yuv420pToYuy2_ex(y, u, v, m_yuvBuf, width, height);
      yuy2 = m_yuvBuf;
    }
    HandOffVideo(yuy2, width, height, time);
  }
  ++m_nFrames;
  return 1;
}
