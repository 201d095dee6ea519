#include "videolib/video_out.h"

#include <cstdlib>
#include <cstring>

#include "platform/gdi/window_pixels.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/ui.h"
#include "videolib/pixel_convert.h"
#include "videolib/surface.h"

namespace {

#if VIDEOLIB_GDI_TEXT
// "宋体" in the program's code page (GBK).
constexpr char kSongFace[] = "\xCB\xCE\xCC\xE5";
#endif

template <typename T>
void ReleaseInterface(T** p) {
  if (*p != nullptr) (*p)->Release();
  *p = nullptr;
}

size_t DibStride(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }

}  // namespace

CVideoOut::CVideoOut() = default;

CVideoOut::~CVideoOut() { UninitRender(); }

HRESULT CVideoOut::InitDirectDraw() {
  if (m_pDD != nullptr) return DD_OK;
  HRESULT hr =
      DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&m_pDD), IID_IDirectDraw7, nullptr);
  if (FAILED(hr)) {
    m_pDD = nullptr;
    return hr;
  }
  hr = m_pDD->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  if (FAILED(hr)) hr = kCooperativeLevelFailed;
  DDSURFACEDESC2 desc{};
  if (SUCCEEDED(hr)) {
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    hr = m_pDD->CreateSurface(&desc, &m_pPrimary, nullptr);
  }
  if (SUCCEEDED(hr)) {
    desc = DDSURFACEDESC2{};
    desc.dwSize = sizeof(desc);
    hr = m_pPrimary->GetSurfaceDesc(&desc);
  }
  if (SUCCEEDED(hr)) {
    CSurface::PrimaryPixelFormat() = desc.ddpfPixelFormat;
    hr = m_pDD->CreateClipper(0, &m_pClipper, nullptr);
  }
  if (SUCCEEDED(hr)) hr = m_pPrimary->SetClipper(m_pClipper);
  if (FAILED(hr)) ReleaseDirectDraw();
  return hr;
}

int CVideoOut::InitDrawDib() {
  if (m_hDrawDib == nullptr) m_hDrawDib = DrawDibOpen();
  if (m_pBgrBuf == nullptr) m_pBgrBuf = static_cast<BYTE*>(std::malloc(kBufferBytes));
  if (m_pFlipBuf == nullptr) m_pFlipBuf = static_cast<BYTE*>(std::malloc(kBufferBytes));
#if VIDEOLIB_GDI_TEXT
  if (m_hPanelFont == nullptr) {
    m_hPanelFont =
        CreateFontA(m_nPanelFontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, kSongFace);
  }
#endif
  return m_hDrawDib != nullptr ? 1 : 0;
}

void CVideoOut::UninitRender() {
  if (m_pDD != nullptr) m_pDD->RestoreDisplayMode();
  if (m_hDrawDib != nullptr) DrawDibClose(m_hDrawDib);
  m_hDrawDib = nullptr;
  std::free(m_pBgrBuf);
  std::free(m_pFlipBuf);
  m_pBgrBuf = m_pFlipBuf = nullptr;
#if VIDEOLIB_GDI_TEXT
  if (m_hPanelFont != nullptr) DeleteObject(m_hPanelFont);
  m_hPanelFont = nullptr;
#endif
  CrAutoLock lock(&m_lock);
#if VIDEOLIB_GDI_TEXT
  FreeComposeDc();
#endif
  FreePictureDib();
  ReleaseDirectDraw();
}

void CVideoOut::ReleaseDirectDraw() {
  ReleaseInterface(&m_pClipper);
  ReleaseInterface(&m_pBack);
  ReleaseInterface(&m_pPrimary);
  ReleaseInterface(&m_pDD);
}

#if VIDEOLIB_GDI_TEXT
void CVideoOut::SetPanelFont(HFONT font, int height) {
  if (m_hPanelFont != nullptr && m_hPanelFont != font) DeleteObject(m_hPanelFont);
  m_hPanelFont = font;
  m_nPanelFontHeight = height;
}

void CVideoOut::DrawPanel(HDC dc, const RECT& rect, const void* panel, int channel) {
  if (m_pPanelPainter != nullptr && panel != nullptr) {
    m_pPanelPainter(this, dc, rect, panel, channel);
  }
}

bool CVideoOut::PanelShown(const void* panel, int channel) const {
  return m_pPanelPainter != nullptr && panel != nullptr &&
         (m_pPanelConcerns == nullptr || m_pPanelConcerns(panel, channel));
}

HDC CVideoOut::ComposeDc(HDC like, int width, int height) {
  if (m_compose.dc != nullptr && m_composeSize.cx >= width && m_composeSize.cy >= height) {
    return m_compose.dc;
  }
  FreeComposeDc();
  if (!m_compose.Take(CreateCompatibleDC(like), CreateCompatibleBitmap(like, width, height))) {
    return nullptr;
  }
  m_composeSize = SIZE{width, height};
  return m_compose.dc;
}

void CVideoOut::FreeComposeDc() {
  m_compose.Free();
  m_composeSize = SIZE{0, 0};
}

HRESULT CVideoOut::BltOnce(IDirectDrawSurface7* surface, RECT* src, RECT* dst, const void* panel,
                           int channel, IDirectDrawSurface7* osd) {
  HRESULT hr = osd != nullptr ? osd->Blt(nullptr, surface, nullptr, DDBLT_WAIT, nullptr) : E_FAIL;
  if (FAILED(hr)) return m_pPrimary->Blt(dst, surface, src, DDBLT_WAIT, nullptr);
  HDC dc = nullptr;
  if (SUCCEEDED(osd->GetDC(&dc)) && dc != nullptr) {
    DrawPanel(dc, *src, panel, channel);
    osd->ReleaseDC(dc);
  }
  return m_pPrimary->Blt(dst, osd, src, DDBLT_WAIT, nullptr);
}

HRESULT CVideoOut::BltSurface(IDirectDrawSurface7* surface, HWND hwnd, const void* panel,
                              int channel, RECT* dst, IDirectDrawSurface7* osd) {
#else
HRESULT CVideoOut::BltOnce(IDirectDrawSurface7* surface, RECT* src, RECT* dst) {
  return m_pPrimary->Blt(dst, surface, src, DDBLT_WAIT, nullptr);
}

HRESULT CVideoOut::BltSurface(IDirectDrawSurface7* surface, HWND hwnd, const void*, int,
                              RECT* dst) {
#endif
  if (surface == nullptr) return E_FAIL;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  HRESULT hr = surface->GetSurfaceDesc(&desc);
  if (FAILED(hr)) return hr;
  RECT src{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
  CrAutoLock lock(&m_lock);
  if (m_pPrimary == nullptr || m_pClipper == nullptr) return E_FAIL;
  m_pClipper->SetHWnd(0, hwnd);
  bool restored = false;
  for (;;) {
#if VIDEOLIB_GDI_TEXT
    hr = BltOnce(surface, &src, dst, panel, channel, osd);
#else
    hr = BltOnce(surface, &src, dst);
#endif
    if (hr == DDERR_WASSTILLDRAWING) continue;
    if (hr != DDERR_SURFACELOST || restored) return hr;
    hr = m_pDD->RestoreAllSurfaces();
    if (FAILED(hr)) return hr;
    restored = true;
  }
}

RECT CVideoOut::DrawDibTarget(HWND hwnd, int title, int focus) {
  RECT r{0, 0, 0, 0};
  GetClientRect(hwnd, &r);
  if (title) r.top += 20;
  if (focus) {
    r.left += 2;
    r.right -= 2;
    r.bottom -= 2;
  }
  return r;
}

void CVideoOut::PrepareDib(const DibSource& src, int width, int height, int dst_w, int dst_h,
                           BITMAPINFOHEADER* header) {
  // Only the rows the window shows are converted, and along a row only the pixels its
  // stretch would pick when that is cheaper than converting the whole row with the fast
  // kernels and letting the stretch pick (picking costs about as much a pixel as converting
  // three): at halving, which has its own fast kernel, and from a third down. Either way the
  // window shows exactly what stretching the whole picture would. Odd widths keep the whole
  // conversion: it leaves their last column as the buffer held it.
  const bool sample = width % 2 == 0;
  const bool shrink_x = sample && dst_w > 0 && (2 * dst_w == width || 3 * dst_w <= width);
  const bool shrink_y = sample && dst_h > 0 && dst_h < height;
  const int dib_w = shrink_x ? dst_w : width;
  const int dib_h = shrink_y ? dst_h : height;
  // Kept between presentations: sized once, no allocation a picture.
  if (shrink_x && m_cols.size() < static_cast<size_t>(dib_w)) m_cols.resize(dib_w);
  if (shrink_y && m_rows.size() < static_cast<size_t>(dib_h)) m_rows.resize(dib_h);
  const int* cols = m_cols.data();
  const int* rows = m_rows.data();
  if (shrink_x) pixel::SampleAxis(width, dib_w, m_cols.data());
  if (shrink_y) pixel::SampleAxis(height, dib_h, m_rows.data());
  const size_t row = static_cast<size_t>(dib_w) * 3;
  const size_t stride = DibStride(dib_w);
  // Each row is converted straight into its place in the bottom-up DIB: no second pass over
  // the picture to flip it.
  for (int j = 0; j < dib_h; ++j) {
    const size_t sy = static_cast<size_t>(shrink_y ? rows[j] : j);
    BYTE* out = m_pFlipBuf + stride * static_cast<size_t>(dib_h - 1 - j);
    if (src.yuy2 != nullptr) {
      const BYTE* in = src.yuy2 + static_cast<size_t>(width) * 2 * sy;
      if (shrink_x) {
        pixel::Yuy2RowToBgr24Sampled(in, width, cols, dib_w, out);
      } else {
        pixel::Yuy2ToBgr24(in, out, width, 1);
      }
    } else {
      const size_t chroma = src.chroma_offset(pixel::Yuv420pChromaRow(static_cast<int>(sy)));
      const BYTE* y = src.luma_row(static_cast<int>(sy));
      if (shrink_x) {
        pixel::Yuv420pRowToBgr24Sampled(y, src.u + chroma, src.v + chroma, width, cols, dib_w, out);
      } else {
        // One packed row in the scratch buffer, still in the cache for the second step.
        pixel::Yuv420pToYuy2_ex(y, src.u + chroma, src.v + chroma, m_pBgrBuf, width, 1);
        pixel::Yuy2ToBgr24(m_pBgrBuf, out, width, 1);
      }
    }
    // DIB rows are padded to 4 bytes; a picture whose rows are not would be drawn skewed.
    if (stride != row) std::memset(out + row, 0, stride - row);
  }
  *header = BITMAPINFOHEADER{};
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = dib_w;
  header->biHeight = dib_h;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(dib_h));
}

bool CVideoOut::PictureDib(HDC like, int width, int height) {
  if (m_picture.dc != nullptr && m_pictureSize.cx == width && m_pictureSize.cy == height) {
    return true;
  }
  FreePictureDib();
  BITMAPINFO info{};
  info.bmiHeader =
      BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(like, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!m_picture.Take(CreateCompatibleDC(like), bitmap) || bits == nullptr) {
    FreePictureDib();
    return false;
  }
  m_pPictureBits = static_cast<BYTE*>(bits);
  m_pictureSize = SIZE{width, height};
  return true;
}

void CVideoOut::FreePictureDib() {
  m_picture.Free();
  m_pPictureBits = nullptr;
  m_pictureSize = SIZE{0, 0};
}

void CVideoOut::PrepareWindowPixels(const DibSource& src, int width, int height, int dst_w,
                                    int dst_h, BYTE* top, long pitch) {
  // Along a row, the pixels the window shows are converted alone at halving and from a third
  // down, where that costs less; otherwise the whole row is converted into the scratch row,
  // still in the cache, and the shown pixels picked from it. Either way each window pixel
  // gets what stretching the whole picture converted gives it.
  const bool sample_x = 2 * dst_w == width || 3 * dst_w <= width;
  const bool whole_x = dst_w == width;
  if (m_cols.size() < static_cast<size_t>(dst_w)) m_cols.resize(dst_w);
  if (m_rows.size() < static_cast<size_t>(dst_h)) m_rows.resize(dst_h);
  pixel::SampleAxis(width, dst_w, m_cols.data());
  pixel::SampleAxis(height, dst_h, m_rows.data());
  const int* cols = m_cols.data();
  BYTE* packed = m_pBgrBuf;
  auto* line = reinterpret_cast<uint32_t*>(m_pBgrBuf + size_t{kMaxWidth} * 2);
  const size_t row_bytes = static_cast<size_t>(dst_w) * 4;
  int made = -1;
  for (int j = 0; j < dst_h; ++j) {
    const int sy = m_rows[j];
    BYTE* out = top + pitch * j;
    // An enlarged picture shows a row again: the one just made.
    if (sy == made) {
      std::memcpy(out, out - pitch, row_bytes);
      continue;
    }
    made = sy;
    BYTE* whole = whole_x ? out : reinterpret_cast<BYTE*>(line);
    if (src.yuy2 != nullptr) {
      const BYTE* in = src.yuy2 + static_cast<size_t>(width) * 2 * static_cast<size_t>(sy);
      if (sample_x) {
        pixel::Yuy2RowToXrgbSampled(in, width, cols, dst_w, out);
        continue;
      }
      pixel::Yuy2ToXrgb(in, whole, width, 1);
    } else {
      const size_t chroma = src.chroma_offset(pixel::Yuv420pChromaRow(sy));
      const BYTE* y = src.luma_row(sy);
      if (sample_x) {
        pixel::Yuv420pRowToXrgbSampled(y, src.u + chroma, src.v + chroma, width, cols, dst_w, out);
        continue;
      }
      if (pixel::SimdLevel() >= 3) {
        pixel::Yuv420pRowToXrgb(y, src.u + chroma, src.v + chroma, whole, width);
      } else {
        pixel::Yuv420pToYuy2_ex(y, src.u + chroma, src.v + chroma, packed, width, 1);
        pixel::Yuy2ToXrgb(packed, whole, width, 1);
      }
    }
    if (!whole_x) pixel::PickWords(line, cols, width, reinterpret_cast<uint32_t*>(out), dst_w);
  }
}

template <typename PanelDc>
void CVideoOut::ComposeAtWindowSize(const DibSource& src, int width, int height, int dst_w,
                                    int dst_h, BYTE* top, long pitch, const void* panel,
                                    int channel, PanelDc panel_dc) {
  PrepareWindowPixels(src, width, height, dst_w, dst_h, top, pitch);
#if VIDEOLIB_GDI_TEXT
  if (PanelShown(panel, channel)) DrawPanel(panel_dc(), RECT{0, 0, dst_w, dst_h}, panel, channel);
#else
  (void)panel;
  (void)channel;
  (void)panel_dc;
#endif
}

int CVideoOut::DrawDibAtWindowSize(const DibSource& src, HDC dc, const RECT& dst, const void* panel,
                                   int channel, int width, int height) {
  const int dw = dst.right - dst.left;
  const int dh = dst.bottom - dst.top;
  const long stride = static_cast<long>(dw) * 4;
  // The panel goes onto the picture before the window gets either, so it never flickers.
  ComposeAtWindowSize(src, width, height, dw, dh, m_pPictureBits + stride * (dh - 1), -stride,
                      panel, channel, [this] { return m_picture.dc; });
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER),
                          dw,
                          dh,
                          1,
                          32,
                          BI_RGB,
                          static_cast<DWORD>(static_cast<size_t>(dw) * dh * 4),
                          0,
                          0,
                          0,
                          0};
  DrawDibBegin(m_hDrawDib, dc, dw, dh, &header, dw, dh, DDF_SAME_HDC);
  DrawDibDraw(m_hDrawDib, dc, dst.left, dst.top, dw, dh, &header, m_pPictureBits, 0, 0, dw, dh,
              DDF_SAME_HDC | DDF_SAME_DRAW);
  DrawDibEnd(m_hDrawDib);
  return 0;
}

int CVideoOut::DrawDibYuy2(const BYTE* yuy2, HWND hwnd, const void* panel, int channel, int title,
                           int focus, int width, int height) {
  if (yuy2 == nullptr) return -1;
  return DrawDib(DibSource{yuy2, nullptr, nullptr, nullptr, 0, 0}, hwnd, panel, channel, title,
                 focus, width, height);
}

int CVideoOut::DrawDibPlanar(const BYTE* y, const BYTE* u, const BYTE* v, HWND hwnd,
                             const void* panel, int channel, int title, int focus, int width,
                             int height) {
  const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
  return DrawDibPlanes(y, u, v, w, w / 2, hwnd, panel, channel, title, focus, width, height);
}

int CVideoOut::DrawDibPlanes(const BYTE* y, const BYTE* u, const BYTE* v, size_t y_stride,
                             size_t uv_stride, HWND hwnd, const void* panel, int channel, int title,
                             int focus, int width, int height) {
  if (y == nullptr || u == nullptr || v == nullptr) return -1;
  // Rows shorter than the picture would be read past their ends.
  if (width > 0 &&
      (y_stride < static_cast<size_t>(width) || uv_stride < static_cast<size_t>(width / 2))) {
    return -1;
  }
  return DrawDib(DibSource{nullptr, y, u, v, y_stride, uv_stride}, hwnd, panel, channel, title,
                 focus, width, height);
}

int CVideoOut::DrawDib(const DibSource& src, HWND hwnd, const void* panel, int channel, int title,
                       int focus, int width, int height) {
  if (m_hDrawDib == nullptr) return -1;
  if (hwnd == nullptr || !IsWindow(hwnd)) return -1;
  if (width <= 0 || height <= 0 || width > kMaxWidth ||
      DibStride(width) * static_cast<size_t>(height) > kBufferBytes) {
    return -1;
  }
  RECT dst = DrawDibTarget(hwnd, title, focus);
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) return 0;
  CrAutoLock lock(&m_lock);
  if (m_pBgrBuf == nullptr || m_pFlipBuf == nullptr) {
    ReleaseDC(hwnd, dc);
    return -1;
  }
  const int dw = dst.right - dst.left;
  const int dh = dst.bottom - dst.top;
  // Even widths go straight to the window's size and pixel form: the window surface copies
  // them as they are. Odd ones keep the BGR24 picture, whose last column the conversion
  // leaves as the buffer held it.
  if (width % 2 == 0 && dw > 0 && dh > 0) {
    // Where all of the picture's place is visible, it is converted into the window's own
    // pixels: no bitmap between, and no copy of it.
    platform::gdi::WindowPixels pixels;
    if (pixels.Lock(dc, dst)) {
      // Under the same lock as its panel: the display never shows the picture without it.
      ComposeAtWindowSize(src, width, height, dw, dh, pixels.top(), pixels.pitch(), panel, channel,
                          [&] { return pixels.dc(); });
      pixels.Unlock();
      ReleaseDC(hwnd, dc);
      return 0;
    }
    if (PictureDib(dc, dw, dh)) {
      const int r = DrawDibAtWindowSize(src, dc, dst, panel, channel, width, height);
      ReleaseDC(hwnd, dc);
      return r;
    }
  }
  BITMAPINFOHEADER header;
  PrepareDib(src, width, height, dw, dh, &header);
  const int dib_w = header.biWidth, dib_h = header.biHeight;
  HDC target = dc;
#if VIDEOLIB_GDI_TEXT
  // Drawn straight into the window, the picture would be seen without its panel until the
  // panel is drawn over it: the panel would flicker.
  HDC compose = PanelShown(panel, channel) ? ComposeDc(dc, dst.right, dst.bottom) : nullptr;
  if (compose != nullptr) target = compose;
#else
  (void)panel;
  (void)channel;
#endif
  DrawDibBegin(m_hDrawDib, target, dw, dh, &header, dib_w, dib_h, DDF_SAME_HDC);
  DrawDibDraw(m_hDrawDib, target, dst.left, dst.top, dw, dh, &header, m_pFlipBuf, 0, 0, dib_w,
              dib_h, DDF_SAME_HDC | DDF_SAME_DRAW);
  DrawDibEnd(m_hDrawDib);
#if VIDEOLIB_GDI_TEXT
  DrawPanel(target, dst, panel, channel);
  if (compose != nullptr)
    BitBlt(dc, dst.left, dst.top, dw, dh, compose, dst.left, dst.top, SRCCOPY);
#endif
  ReleaseDC(hwnd, dc);
  return 0;
}
