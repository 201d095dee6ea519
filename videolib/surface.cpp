// CSurface: creation in the two builds, drawing through DirectDraw and GDI, colour keys and
// the cached description.
#include "videolib/surface.h"

#include <cstring>

#include "platform/ddraw/pixel_format.h"
#include "platform/kernel/module.h"

namespace {

using platform::ddraw::FourCcFormat;
using platform::ddraw::RgbFormat;

DDPIXELFORMAT g_yv12 = FourCcFormat(MAKEFOURCC('Y', 'V', '1', '2'), 12);
DDPIXELFORMAT g_yuy2 = FourCcFormat(MAKEFOURCC('Y', 'U', 'Y', '2'), 16);
DDPIXELFORMAT g_rgb24 = RgbFormat(24, 0xFF0000, 0x00FF00, 0x0000FF);
DDPIXELFORMAT g_bgr24 = RgbFormat(24, 0x0000FF, 0x00FF00, 0xFF0000);
DDPIXELFORMAT g_primary = RgbFormat(16, 0, 0, 0);
DDPIXELFORMAT g_rgb565 = RgbFormat(16, 0xF800, 0x07E0, 0x001F);
DDPIXELFORMAT g_rgb555 = RgbFormat(16, 0x7C00, 0x03E0, 0x001F);
DDPIXELFORMAT g_uyvy = FourCcFormat(MAKEFOURCC('U', 'Y', 'V', 'Y'), 16);
DDPIXELFORMAT g_y411 = FourCcFormat(MAKEFOURCC('Y', '4', '1', '1'), 12);
DDPIXELFORMAT g_y41p = FourCcFormat(MAKEFOURCC('Y', '4', '1', 'P'), 12);

DDPIXELFORMAT* const g_formats[CSurface::kPixelFormatCount] = {
    &g_yv12, &g_yuy2,   &g_rgb24,  &g_bgr24, nullptr, nullptr, &g_primary, nullptr,
    &g_yv12, &g_rgb565, &g_rgb555, nullptr,  nullptr, nullptr, nullptr,    nullptr,
    nullptr, nullptr,   nullptr,   nullptr,  &g_uyvy, &g_y411, &g_y41p,    &g_primary};

DDSURFACEDESC2 EmptyDesc() {
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  return d;
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

CSurface::CSurface()
    : m_pSurface(nullptr),
#if VIDEOLIB_GDI_TEXT
      m_pOsdSurface(nullptr),
#endif
      m_ddsd(EmptyDesc()),
      m_bColorKeyed(0) {
}

CSurface::CSurface(const CSurface& other)
    : m_pSurface(other.m_pSurface),
#if VIDEOLIB_GDI_TEXT
      m_pOsdSurface(other.m_pOsdSurface),
#endif
      m_ddsd(other.m_ddsd),
      m_bColorKeyed(other.m_bColorKeyed) {
  if (m_pSurface) m_pSurface->AddRef();
#if VIDEOLIB_GDI_TEXT
  if (m_pOsdSurface) m_pOsdSurface->AddRef();
#endif
}

CSurface& CSurface::operator=(const CSurface& other) {
  if (this == &other) return *this;
  if (other.m_pSurface) other.m_pSurface->AddRef();
  if (m_pSurface) m_pSurface->Release();
  m_pSurface = other.m_pSurface;
#if VIDEOLIB_GDI_TEXT
  if (other.m_pOsdSurface) other.m_pOsdSurface->AddRef();
  if (m_pOsdSurface) m_pOsdSurface->Release();
  m_pOsdSurface = other.m_pOsdSurface;
#endif
  m_ddsd = other.m_ddsd;
  m_bColorKeyed = other.m_bColorKeyed;
  return *this;
}

CSurface::~CSurface() {
  Destroy();
#if VIDEOLIB_GDI_TEXT
  if (m_pOsdSurface) m_pOsdSurface->Release();
  m_pOsdSurface = nullptr;
#endif
}

DDPIXELFORMAT* CSurface::GetPixelFormat(int code) {
  if (code < 0 || code >= kPixelFormatCount) return nullptr;
  return g_formats[code];
}

DDPIXELFORMAT& CSurface::PrimaryPixelFormat() { return g_primary; }

void CSurface::Adopt(IDirectDrawSurface7* surface) {
  if (m_pSurface != nullptr && m_pSurface != surface) m_pSurface->Release();
  m_pSurface = surface;
}

HRESULT CSurface::RefreshDesc() {
  if (m_pSurface == nullptr) return E_FAIL;
  m_ddsd.dwSize = sizeof(m_ddsd);
  HRESULT hr = m_pSurface->Lock(nullptr, &m_ddsd, DDLOCK_WAIT, nullptr);
  if (hr != DD_OK) return hr;
  m_pSurface->Unlock(nullptr);
  return DD_OK;
}

HRESULT CSurface::Create(IDirectDrawSurface7* surface) {
  if (surface == nullptr) {
    Adopt(nullptr);
    return 0;
  }
  surface->AddRef();
  if (m_pSurface == surface) m_pSurface->Release();  // keep exactly one reference
  Adopt(surface);
  return RefreshDesc();
}

HRESULT CSurface::Create(IDirectDraw7* ddraw, DDSURFACEDESC2* desc) {
#if VIDEOLIB_GDI_TEXT
  (void)ddraw;
  (void)desc;
  return E_FAIL;
#else
  if (ddraw == nullptr || desc == nullptr) return E_FAIL;
  IDirectDrawSurface7* surface = nullptr;
  HRESULT hr = ddraw->CreateSurface(desc, &surface, nullptr);
  if (hr != DD_OK) return hr;
  Adopt(surface);
  m_ddsd = EmptyDesc();
  hr = m_pSurface->Lock(nullptr, &m_ddsd, DDLOCK_WAIT, nullptr);
  if (hr != DD_OK) return hr;
  // The format's black: mid-grey chroma for the packed YUV layouts.
  BYTE fill = 0x00;
  if (m_ddsd.ddpfPixelFormat.dwFourCC == MAKEFOURCC('Y', 'U', 'Y', '2')) fill = 0x80;
  if (m_ddsd.ddpfPixelFormat.dwFourCC == MAKEFOURCC('U', 'Y', 'V', 'Y')) fill = 0x08;
  std::memset(m_ddsd.lpSurface, fill, static_cast<size_t>(m_ddsd.lPitch) * m_ddsd.dwHeight);
  m_pSurface->Unlock(nullptr);
  m_ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  m_ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
  return DD_OK;
#endif
}

HRESULT CSurface::Create(IDirectDraw7* ddraw, int width, int height, int code, void* memory) {
  DDPIXELFORMAT* format = code >= 0 ? GetPixelFormat(code) : nullptr;
#if VIDEOLIB_GDI_TEXT
  (void)ddraw;
  (void)width;
  (void)height;
  (void)memory;
  return (code < 0 || format != nullptr) ? E_FAIL : E_INVALIDARG;
#else
  if (code >= 0 && format == nullptr) return E_INVALIDARG;
  DDSURFACEDESC2 desc = EmptyDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  if (format != nullptr) {
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat = *format;
  }
  if (memory != nullptr) {
    DWORD bits = format ? format->dwRGBBitCount : g_primary.dwRGBBitCount;
    desc.dwFlags |= DDSD_LPSURFACE | DDSD_PITCH;
    desc.lpSurface = memory;
    desc.lPitch = static_cast<LONG>(width * bits / 8);
    desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
  }
  return Create(ddraw, &desc);
#endif
}

#if VIDEOLIB_GDI_TEXT
HRESULT CSurface::CreateOsd(IDirectDraw7* ddraw, int width, int height) {
  if (ddraw == nullptr) return E_FAIL;
  DDSURFACEDESC2 desc = EmptyDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface7* surface = nullptr;
  HRESULT hr = ddraw->CreateSurface(&desc, &surface, nullptr);
  if (hr != DD_OK) return hr;
  if (m_pOsdSurface != nullptr) m_pOsdSurface->Release();  // a second call replaces the first
  m_pOsdSurface = surface;
  return 0;
}
#endif

HRESULT CSurface::Destroy() {
  m_ddsd.dwWidth = 0;
  m_ddsd.dwHeight = 0;
  if (m_pSurface != nullptr) m_pSurface->Release();
  m_pSurface = nullptr;
  return 0;
}

HRESULT CSurface::Draw(const BYTE* picture, BOOL mirror, int src_pitch) {
  if (m_pSurface == nullptr) return E_FAIL;
  if (m_pSurface->IsLost() == DDERR_SURFACELOST) m_pSurface->Restore();
  m_ddsd.dwSize = sizeof(m_ddsd);
  HRESULT hr = m_pSurface->Lock(nullptr, &m_ddsd, 0, nullptr);
  if (hr != DD_OK) return hr;
  SIZE size{Width(), Height()};
  DWORD fourcc = m_ddsd.ddpfPixelFormat.dwFourCC;
  try {
    if (fourcc == 0) {
      hr = DrawRgb(&m_ddsd, picture, size, nullptr, nullptr, mirror, src_pitch);
    } else if (fourcc == MAKEFOURCC('Y', 'V', '1', '2')) {
      hr = DrawYv12(&m_ddsd, picture, size, nullptr, nullptr, mirror, src_pitch);
    } else if (fourcc == MAKEFOURCC('Y', 'U', 'Y', '2') ||
               fourcc == MAKEFOURCC('U', 'Y', 'V', 'Y')) {
      hr = DrawYuy2(&m_ddsd, picture, size, nullptr, nullptr, mirror, src_pitch);
    } else {
      hr = 0;
    }
  } catch (...) {
    m_pSurface->Unlock(nullptr);
    throw;
  }
  m_pSurface->Unlock(nullptr);
  return hr;
}

HRESULT CSurface::Draw(IDirectDrawSurface7* src, BOOL) {
  if (src == nullptr || m_pSurface == nullptr) return E_FAIL;
  RECT r{0, 0, Width(), Height()};
  return m_pSurface->Blt(nullptr, src, &r, DDBLT_WAIT, nullptr);
}

HRESULT CSurface::Draw(IDirectDrawSurface7* src, RECT* src_rect, RECT* dst_rect, BOOL flag) {
  if (src == nullptr || m_pSurface == nullptr) return E_FAIL;
  return m_pSurface->Blt(dst_rect, src, src_rect, DDBLT_WAIT | (flag ? DDBLT_KEYSRC : 0), nullptr);
}

HRESULT CSurface::DrawBitmap(HBITMAP bitmap, int x, int y, int width, int height) {
  if (bitmap == nullptr || m_pSurface == nullptr) return E_INVALIDARG;
  HRESULT hr = Restore();
  if (hr != DD_OK) return hr;
  if (m_ddsd.ddpfPixelFormat.dwFlags & DDPF_FOURCC) return E_NOTIMPL;
  HDC mem = CreateCompatibleDC(nullptr);
  if (mem == nullptr) return E_FAIL;
  BITMAP bm{};
  if (GetObjectA(bitmap, sizeof(bm), &bm) == 0) {
    DeleteDC(mem);
    return E_FAIL;
  }
  if (width == 0) width = bm.bmWidth;
  if (height == 0) height = bm.bmHeight;
  HGDIOBJ old = SelectObject(mem, bitmap);
  HDC dc = nullptr;
  hr = m_pSurface->GetDC(&dc);
  if (hr == DD_OK) {
    if (!StretchBlt(dc, 0, 0, Width(), Height(), mem, x, y, width, height, SRCCOPY)) hr = E_FAIL;
    m_pSurface->ReleaseDC(dc);
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  return hr;
}

HRESULT CSurface::DrawBitmap(LPCSTR name, int width, int height) {
  HANDLE image = LoadImageA(ThisModule(), name, IMAGE_BITMAP, width, height, LR_CREATEDIBSECTION);
  if (image == nullptr) {
    image = LoadImageA(nullptr, name, IMAGE_BITMAP, width, height,
                       LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  }
  if (image == nullptr) return E_FAIL;
  auto* bitmap = static_cast<HBITMAP>(image);
  HRESULT hr = DrawBitmap(bitmap, 0, 0, 0, 0);
  DeleteObject(bitmap);
  return hr;
}

HRESULT CSurface::DrawTextA(HFONT font, LPCSTR text, int x, int y, COLORREF background,
                            COLORREF foreground) {
  if (m_pSurface == nullptr || text == nullptr) return E_INVALIDARG;
  HRESULT hr = Restore();
  if (hr != DD_OK) return hr;
  HDC dc = nullptr;
  hr = m_pSurface->GetDC(&dc);
  if (hr != DD_OK) return hr;
  SetBkColor(dc, background);
  SetTextColor(dc, foreground);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
  if (old != nullptr) SelectObject(dc, old);
  m_pSurface->ReleaseDC(dc);
  return 0;
}

HRESULT CSurface::SetColorKey(COLORREF color) {
  if (m_pSurface == nullptr) return E_POINTER;
  m_bColorKeyed = 1;
  DWORD raw = ConvertGDIColor(color);
  DDCOLORKEY key{raw, raw};
  return m_pSurface->SetColorKey(DDCKEY_SRCBLT, &key);
}

DWORD CSurface::ConvertGDIColor(COLORREF color) {
  if (m_pSurface == nullptr) return 0;
  const bool valid = color != CLR_INVALID;
  COLORREF saved = CLR_INVALID;
  HDC dc = nullptr;
  if (valid && m_pSurface->GetDC(&dc) == DD_OK) {
    saved = GetPixel(dc, 0, 0);
    SetPixel(dc, 0, 0, color);
    m_pSurface->ReleaseDC(dc);
  }
  DWORD value = 0xFFFFFFFF;
  DDSURFACEDESC2 desc = EmptyDesc();
  if (m_pSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK) {
    DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
    // Read no more bytes than one pixel holds: a small client buffer may end right there.
    size_t bytes = bits >= 32 || bits == 0 ? 4 : (bits + 7) / 8;
    value = 0;
    std::memcpy(&value, desc.lpSurface, bytes);
    if (bits < 32) value &= (1u << bits) - 1;
    m_pSurface->Unlock(nullptr);
  }
  if (valid && saved != CLR_INVALID && m_pSurface->GetDC(&dc) == DD_OK) {
    SetPixel(dc, 0, 0, saved);
    m_pSurface->ReleaseDC(dc);
  }
  return value;
}

HRESULT CSurface::GetBitMaskInfo(DWORD mask, DWORD* shift, DWORD* bits) {
  if (shift == nullptr || bits == nullptr) return E_INVALIDARG;
  *shift = 0;
  *bits = 0;
  if (mask == 0) return 0;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++*shift;
  }
  while (mask & 1u) {
    mask >>= 1;
    ++*bits;
  }
  return 0;
}

HRESULT CSurface::Restore() {
  if (m_pSurface == nullptr) return E_FAIL;
  HRESULT hr = m_pSurface->Restore();
  if (hr != DD_OK) return hr;
  return RefreshDesc();
}

HRESULT CSurface::SetSurface(void* memory, int width, int height) {
  if (m_pSurface == nullptr) return E_FAIL;
  DDSURFACEDESC2 desc = EmptyDesc();
  desc.dwFlags = DDSD_LPSURFACE | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT;
  desc.lpSurface = memory;
  desc.lPitch = width * 2;
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  HRESULT hr = m_pSurface->SetSurfaceDesc(&desc, 0);
  if (hr != DD_OK) return hr;
  m_ddsd.dwSize = sizeof(m_ddsd);
  return m_pSurface->GetSurfaceDesc(&m_ddsd);
}

int CSurface::CopyData(BYTE* buffer) {
  if (m_pSurface == nullptr || buffer == nullptr) return 0;
  m_ddsd.dwSize = sizeof(m_ddsd);
  if (m_pSurface->Lock(nullptr, &m_ddsd, DDLOCK_WAIT, nullptr) != DD_OK) return 0;
  size_t row = static_cast<size_t>(Width()) * BitCount() / 8;
  const auto* memory = static_cast<const BYTE*>(m_ddsd.lpSurface);
  for (int i = 0; i < Height(); ++i) {
    std::memcpy(buffer + row * i, memory + static_cast<long>(Height() - 1 - i) * Pitch(), row);
  }
  m_pSurface->Unlock(nullptr);
  return 1;
}

BYTE* CSurface::GetBuffer(LONG* pitch) {
  if (m_pSurface == nullptr || RefreshDesc() != DD_OK) return nullptr;
  if (pitch != nullptr) *pitch = m_ddsd.lPitch;
  return static_cast<BYTE*>(m_ddsd.lpSurface);
}

HDC CSurface::GetSurfaceDC() {
  if (m_pSurface == nullptr) return nullptr;
  HDC dc = nullptr;
  return m_pSurface->GetDC(&dc) == DD_OK ? dc : nullptr;
}
