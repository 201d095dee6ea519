#pragma once
// CVideoOut: the one renderer all channels share. It owns the DirectDraw object, the primary
// surface (the desktop) with its clipper, a DrawDib handle with two picture-sized scratch
// buffers, and the lock that makes every presentation of every channel strictly one at a time
// (the scratch buffers, the clipper whose window is set per presentation and, in LocPlexa,
// the panel font are shared by all of them).
//
// Threads: set-up and release run on the owner's thread while no channel presents; the two
// presentations may be called from any number of decode threads at once.

#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/vfw/drawdib.h"
#include "videolib/lock.h"
#include "videolib/memory_dc.h"

class CVideoOut {
 public:
  // The largest picture the DrawDib path draws (the scratch buffers' size).
  static constexpr int kMaxWidth = 720;
  static constexpr int kMaxHeight = 576;
  static constexpr size_t kBufferBytes = size_t{kMaxWidth} * kMaxHeight * 3;
  static constexpr HRESULT kCooperativeLevelFailed = static_cast<HRESULT>(0x88760082);
#if VIDEOLIB_GDI_TEXT
  static constexpr COLORREF kKeyColor = 0x000A0AFF;  // kept for callers; nothing keys on it
#else
  static constexpr COLORREF kKeyColor = 0x000A0A0A;
#endif

  CVideoOut();
  // Releases everything as UninitRender does.
  virtual ~CVideoOut();
  CVideoOut(const CVideoOut&) = delete;
  CVideoOut& operator=(const CVideoOut&) = delete;

  // Creates DirectDraw, the primary surface and its clipper, and records the primary
  // surface's pixel format for the surfaces' format table. Does nothing and succeeds when
  // DirectDraw already exists. A failure leaves nothing behind and is returned.
  HRESULT InitDirectDraw();
  // Opens DrawDib and allocates the scratch buffers, once. Returns 1, or 0 without a handle.
  int InitDrawDib();
  // Releases DrawDib, the buffers and then, under the lock, the DirectDraw objects.
  void UninitRender();

  // Blits picture surface `surface` whole onto `dst` (screen coordinates), clipped to what
  // `hwnd` shows. In LocPlexa the picture goes through the channel's overlay surface `osd`
  // first, where the information panel `panel` of `channel` is drawn on it. A lost primary
  // surface is restored once and the blit repeated; a surface still drawing is waited for.
  // Returns 0 or the DirectDraw error.
#if VIDEOLIB_GDI_TEXT
  HRESULT BltSurface(IDirectDrawSurface7* surface, HWND hwnd, const void* panel, int channel,
                     RECT* dst, IDirectDrawSurface7* osd);
#else
  HRESULT BltSurface(IDirectDrawSurface7* surface, HWND hwnd, const void* panel, int channel,
                     RECT* dst);
#endif
  // Draws a YUY2 picture of `width` x `height` into the client area of `hwnd`, less the
  // 20-pixel title strip when `title` is set and less 2 pixels at left, right and bottom when
  // `focus` is set. Returns 0 when drawn or when the window gave no device context; -1
  // without DrawDib, without a window, or for a picture the scratch buffers cannot hold.
  int DrawDibYuy2(const BYTE* yuy2, HWND hwnd, const void* panel, int channel, int title, int focus,
                  int width, int height);

  // The same of a planar 4:2:0 picture, its planes given apart (chroma rows width / 2 bytes):
  // the window shows what converting it to YUY2 and drawing that would show.
  int DrawDibPlanar(const BYTE* y, const BYTE* u, const BYTE* v, HWND hwnd, const void* panel,
                    int channel, int title, int focus, int width, int height);
  // The same with rows `y_stride` bytes apart in the luma plane and `uv_stride` in the
  // chroma planes (at least width and width / 2): a decoder's planes as it hands them out.
  int DrawDibPlanes(const BYTE* y, const BYTE* u, const BYTE* v, size_t y_stride, size_t uv_stride,
                    HWND hwnd, const void* panel, int channel, int title, int focus, int width,
                    int height);
  // The rectangle the DrawDib path draws into (client coordinates of `hwnd`).
  static RECT DrawDibTarget(HWND hwnd, int title, int focus);

  IDirectDraw7* GetDirectDraw() const { return m_pDD; }
  IDirectDrawSurface7* GetPrimarySurface() const { return m_pPrimary; }
  IDirectDrawClipper* GetClipper() const { return m_pClipper; }
  HDRAWDIB GetDrawDib() const { return m_hDrawDib; }
  CrLockCS* GetLock() { return &m_lock; }

#if VIDEOLIB_GDI_TEXT
  // Draws the information panel `record` of `channel` within `rect` of `dc`. Given to each
  // renderer by its owner (the channels give the on-screen text code's); called under the
  // renderer lock, which also guards the panel font. Null draws no panel.
  using PanelPainter = void (*)(CVideoOut* out, HDC dc, const RECT& rect, const void* record,
                                int channel);
  // Whether `record` has anything to draw for `channel`; null: always.
  using PanelConcerns = bool (*)(const void* record, int channel);
  // A picture that gets a panel is composed with it off the screen and shown in one blit, so
  // the window never shows it without its panel. REQUIRES: no presentation in progress
  // (set-up time, on the owner's thread).
  void SetPanelPainter(PanelPainter painter, PanelConcerns concerns = nullptr) {
    m_pPanelPainter = painter;
    m_pPanelConcerns = concerns;
  }
  HFONT GetPanelFont() const { return m_hPanelFont; }
  int GetPanelFontHeight() const { return m_nPanelFontHeight; }
  // Replaces the panel font by one of `height` (REQUIRES: renderer lock held).
  void SetPanelFont(HFONT font, int height);
#endif

 private:
  void ReleaseDirectDraw();
  // One try of the blit onto the primary surface.
#if VIDEOLIB_GDI_TEXT
  HRESULT BltOnce(IDirectDrawSurface7* surface, RECT* src, RECT* dst, const void* panel,
                  int channel, IDirectDrawSurface7* osd);
  void DrawPanel(HDC dc, const RECT& rect, const void* panel, int channel);
  bool PanelShown(const void* panel, int channel) const;
  // The off-screen context a picture is composed in with its panel, at least `width` x
  // `height` (REQUIRES: m_lock held); null when it cannot be made.
  HDC ComposeDc(HDC like, int width, int height);
  void FreeComposeDc();
#else
  HRESULT BltOnce(IDirectDrawSurface7* surface, RECT* src, RECT* dst);
#endif
  // A picture for the DrawDib path: packed YUY2, or the three planes of a planar one with
  // their row strides.
  struct DibSource {
    const BYTE* yuy2;
    const BYTE* y;
    const BYTE* u;
    const BYTE* v;
    size_t y_stride;
    size_t uv_stride;
    const BYTE* luma_row(int row) const { return y + y_stride * static_cast<size_t>(row); }
    size_t chroma_offset(int chroma_row) const {
      return uv_stride * static_cast<size_t>(chroma_row);
    }
  };
  int DrawDib(const DibSource& src, HWND hwnd, const void* panel, int channel, int title, int focus,
              int width, int height);
  // Converts and flips the picture into the bottom-up DIB of the flip buffer, at the size of
  // a `dst_w` x `dst_h` window along each axis it shrinks (REQUIRES: m_lock held).
  void PrepareDib(const DibSource& src, int width, int height, int dst_w, int dst_h,
                  BITMAPINFOHEADER* header);
  // The window's pixels of the picture (as PrepareWindowPixels) with its panel drawn over
  // them through the context panel_dc() gives, made only when there is a panel to draw.
  template <typename PanelDc>
  void ComposeAtWindowSize(const DibSource& src, int width, int height, int dst_w, int dst_h,
                           BYTE* top, long pitch, const void* panel, int channel, PanelDc panel_dc);
  // A picture of even width whose place the window does not wholly show: converted straight
  // to the window's size and 32-bit form into the picture DIB, where its panel is drawn too,
  // and shown in one DrawDibDraw.
  int DrawDibAtWindowSize(const DibSource& src, HDC dc, const RECT& dst, const void* panel,
                          int channel, int width, int height);
  // The XRGB pixels the window shows of the picture: dst_h rows of dst_w words, the top one
  // at `top`, each `pitch` bytes below the one before (negative for a bottom-up DIB)
  // (REQUIRES: m_lock held, width even).
  void PrepareWindowPixels(const DibSource& src, int width, int height, int dst_w, int dst_h,
                           BYTE* top, long pitch);
  // The 32-bit DIB section of exactly `width` x `height`, selected into its memory context
  // (REQUIRES: m_lock held); false when it cannot be made.
  bool PictureDib(HDC like, int width, int height);
  void FreePictureDib();

  IDirectDraw7* m_pDD = nullptr;
  IDirectDrawSurface7* m_pPrimary = nullptr;
  IDirectDrawSurface7* m_pBack = nullptr;  // never created; released when present
  IDirectDrawClipper* m_pClipper = nullptr;
  CrLockCS m_lock;
  BYTE* m_pBgrBuf = nullptr;   // a row of YUY2 while presenting; guarded by m_lock
  BYTE* m_pFlipBuf = nullptr;  // guarded by m_lock while presenting
  std::vector<int> m_cols;     // the picture column each DIB column shows; guarded by m_lock
  std::vector<int> m_rows;     // the same of rows
  MemoryDc m_picture;          // guarded by m_lock, as are the two below
  BYTE* m_pPictureBits = nullptr;
  SIZE m_pictureSize{0, 0};
  HDRAWDIB m_hDrawDib = nullptr;
#if VIDEOLIB_GDI_TEXT
  HFONT m_hPanelFont = nullptr;  // guarded by m_lock
  PanelPainter m_pPanelPainter = nullptr;
  PanelConcerns m_pPanelConcerns = nullptr;
  int m_nPanelFontHeight = 10;
  MemoryDc m_compose;  // guarded by m_lock, as is its size
  SIZE m_composeSize{0, 0};
#endif
};
