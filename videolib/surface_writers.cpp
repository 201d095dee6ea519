// CSurface's rectangle writers: copy a picture in YV12, YUY2 or RGB into locked surface
// memory, row by row.
#include <algorithm>
#include <cstring>

#include "videolib/surface.h"

namespace {

// The rectangles a copy uses, limited to the surface and the picture so that a rectangle
// reaching past either never touches memory outside them.
struct Span {
  RECT dst;
  RECT src;
  int width;  // pixels a row
  int rows;
};

bool Clip(RECT* r, LONG width, LONG height) {
  r->left = std::max<LONG>(r->left, 0);
  r->top = std::max<LONG>(r->top, 0);
  r->right = std::min<LONG>(r->right, width);
  r->bottom = std::min<LONG>(r->bottom, height);
  return r->left < r->right && r->top < r->bottom;
}

bool MakeSpan(const DDSURFACEDESC2& desc, SIZE size, const RECT* dst, const RECT* src,
              bool even_left, Span* out) {
  LONG sw = static_cast<LONG>(desc.dwWidth), sh = static_cast<LONG>(desc.dwHeight);
  out->dst = dst ? *dst : RECT{0, 0, sw, sh};
  out->src = src ? *src : RECT{0, 0, size.cx, size.cy};
  // Packed 4:2:2 pixels come in pairs: an odd left edge moves one pixel right.
  if (even_left && (out->dst.left & 1)) ++out->dst.left;
  if (!Clip(&out->dst, sw, sh) || !Clip(&out->src, size.cx, size.cy)) return false;
  out->width = std::min(out->dst.right - out->dst.left, out->src.right - out->src.left);
  out->rows = std::min(out->dst.bottom - out->dst.top, out->src.bottom - out->src.top);
  return true;
}

// Copies `units` 16-bit units of a row, last first.
void CopyMirrored(BYTE* dst, const BYTE* src, int units) {
  for (int i = 0; i < units; ++i) std::memcpy(dst + 2 * i, src + 2 * (units - 1 - i), 2);
}

template <HRESULT (*Writer)(DDSURFACEDESC2*, const BYTE*, SIZE, RECT*, RECT*, BOOL, int)>
HRESULT OnSurface(IDirectDrawSurface7* surface, const BYTE* picture, SIZE size, RECT* dst,
                  RECT* src, int src_pitch) {
  if (surface == nullptr) return E_INVALIDARG;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0;
  HRESULT hr = Writer(&desc, picture, size, dst, src, FALSE, src_pitch);
  surface->Unlock(nullptr);
  return hr;
}

}  // namespace

HRESULT CSurface::DrawYuy2(DDSURFACEDESC2* desc, const BYTE* picture, SIZE size, RECT* dst,
                           RECT* src, BOOL mirror, int src_pitch) {
  if (desc == nullptr || desc->lpSurface == nullptr || picture == nullptr) return E_INVALIDARG;
  Span s;
  if (!MakeSpan(*desc, size, dst, src, true, &s)) return 0;
  if (src_pitch == 0) src_pitch = size.cx * 2;
  auto* out = static_cast<BYTE*>(desc->lpSurface) + static_cast<long>(s.dst.top) * desc->lPitch +
              s.dst.left * 2;
  const BYTE* in = picture + static_cast<long>(s.src.top) * src_pitch + s.src.left * 2;
  for (int row = 0; row < s.rows; ++row) {
    if (mirror) {
      CopyMirrored(out, in, s.width);
    } else {
      std::memcpy(out, in, static_cast<size_t>(s.width) * 2);
    }
    out += desc->lPitch;
    in += src_pitch;
  }
  return 0;
}

HRESULT CSurface::DrawYv12(DDSURFACEDESC2* desc, const BYTE* picture, SIZE size, RECT* dst,
                           RECT* src, BOOL, int src_pitch) {
  if (desc == nullptr || desc->lpSurface == nullptr || picture == nullptr) return E_INVALIDARG;
  Span s;
  if (!MakeSpan(*desc, size, dst, src, false, &s)) return 0;
  if (src_pitch == 0) src_pitch = size.cx;
  const long pitch = desc->lPitch;
  auto* surface = static_cast<BYTE*>(desc->lpSurface);
  BYTE* out = surface + s.dst.top * pitch + s.dst.left;
  const BYTE* in = picture + static_cast<long>(s.src.top) * src_pitch + s.src.left;
  for (int row = 0; row < s.rows; ++row, out += pitch, in += src_pitch) {
    std::memcpy(out, in, s.width);
  }
  if (s.rows < 2) return 0;  // a single row carries no chroma row of its own
  const long height = static_cast<long>(desc->dwHeight);
  const long picture_plane = static_cast<long>(size.cx) * size.cy;
  struct Plane {
    const BYTE* from;
    BYTE* to;
  } planes[2] = {{picture + picture_plane, surface + pitch * height * 5 / 4},   // U
                 {picture + picture_plane * 5 / 4, surface + pitch * height}};  // V
  for (const Plane& p : planes) {
    BYTE* o = p.to + (s.dst.top / 2) * (pitch / 2) + s.dst.left / 2;
    const BYTE* i = p.from + (s.src.top / 2) * (src_pitch / 2) + s.src.left / 2;
    for (int row = 0; row < s.rows / 2; ++row, o += pitch / 2, i += src_pitch / 2) {
      std::memcpy(o, i, s.width / 2);
    }
  }
  return 0;
}

HRESULT CSurface::DrawRgb(DDSURFACEDESC2* desc, const BYTE* picture, SIZE size, RECT* dst,
                          RECT* src, BOOL mirror, int src_pitch) {
  if (desc == nullptr || desc->lpSurface == nullptr || picture == nullptr) return E_INVALIDARG;
  const int bits = static_cast<int>(desc->ddpfPixelFormat.dwRGBBitCount);
  const int bytes = bits / 8;
  Span s;
  if (bytes == 0 || !MakeSpan(*desc, size, dst, src, false, &s)) return 0;
  if (src_pitch == 0) src_pitch = size.cx * bits / 8;
  auto* out = static_cast<BYTE*>(desc->lpSurface) + static_cast<long>(s.dst.top) * desc->lPitch +
              s.dst.left * bytes;
  const BYTE* in = picture + static_cast<long>(s.src.top) * src_pitch + s.src.left * bytes;
  const size_t row_bytes = static_cast<size_t>(s.width) * bytes;
  for (int row = 0; row < s.rows; ++row, out += desc->lPitch, in += src_pitch) {
    if (mirror) {
      CopyMirrored(out, in, static_cast<int>(row_bytes / 2));
    } else {
      std::memcpy(out, in, row_bytes);
    }
  }
  return 0;
}

HRESULT CSurface::DrawYv12(IDirectDrawSurface7* surface, const BYTE* picture, SIZE size, RECT* dst,
                           RECT* src, BOOL, int src_pitch) {
  return OnSurface<&CSurface::DrawYv12>(surface, picture, size, dst, src, src_pitch);
}

HRESULT CSurface::DrawYuy2(IDirectDrawSurface7* surface, const BYTE* picture, SIZE size, RECT* dst,
                           RECT* src, BOOL, int src_pitch) {
  return OnSurface<&CSurface::DrawYuy2>(surface, picture, size, dst, src, src_pitch);
}

HRESULT CSurface::DrawRgb(IDirectDrawSurface7* surface, const BYTE* picture, SIZE size, RECT* dst,
                          RECT* src, BOOL, int src_pitch) {
  return OnSurface<&CSurface::DrawRgb>(surface, picture, size, dst, src, src_pitch);
}
