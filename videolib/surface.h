#pragma once
// CSurface: one DirectDraw 7 surface with a cached surface description, and the writers that
// copy a picture in a given pixel layout into a locked surface.
//
// Two builds: with VIDEOLIB_GDI_TEXT (LocPlexa) the DirectDraw Create forms create nothing
// and report failure, and a second, off-screen overlay surface in the primary's format
// carries the on-screen text; without it (Plexa) pictures go into surfaces created here.
//
// Picture layout codes index the pixel format table: 0 planar 4:2:0 (YV12 surfaces),
// 1 packed YUY2, 22 packed Y41P; 6 and 23 share the primary surface's format.

#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/win_types.h"

#ifndef VIDEOLIB_GDI_TEXT
#define VIDEOLIB_GDI_TEXT 0
#endif

class CSurface {
 public:
  static constexpr int kPixelFormatCount = 24;

  CSurface();
  // Copies the fields; each copy holds its own reference to the surfaces it names, so that
  // every copy may release them.
  CSurface(const CSurface& other);
  CSurface& operator=(const CSurface& other);
  // Sets the cached size to 0 and releases the picture surface (and the overlay surface).
  virtual ~CSurface();

  // The format record of a layout code; null for a code out of 0..23 or without one.
  static DDPIXELFORMAT* GetPixelFormat(int code);
  // The record shared by codes 6 and 23; the renderer copies the primary's format into it.
  static DDPIXELFORMAT& PrimaryPixelFormat();

  // Adopts `surface` (adds a reference) and fills the cached description; null: 0.
  HRESULT Create(IDirectDrawSurface7* surface);
  // Plexa: creates a surface as described, fills it with the format's black and caches its
  // description. LocPlexa: E_FAIL.
  HRESULT Create(IDirectDraw7* ddraw, DDSURFACEDESC2* desc);
  // Plexa: width x height in the layout `code` (negative: the primary's format), in
  // `memory` when given. LocPlexa: E_FAIL, or E_INVALIDARG for a code without a format.
  HRESULT Create(IDirectDraw7* ddraw, int width, int height, int code, void* memory);
#if VIDEOLIB_GDI_TEXT
  // The overlay surface: off-screen, in the primary surface's format. 0 or the failure.
  HRESULT CreateOsd(IDirectDraw7* ddraw, int width, int height);
  IDirectDrawSurface7* GetDDrawOsdSurface() const { return m_pOsdSurface; }
#endif
  HRESULT Destroy();

  // Copies a picture of the cached size into the whole surface, by the surface's format.
  HRESULT Draw(const BYTE* picture, BOOL mirror, int src_pitch);
  // The rectangle writers; null rectangles mean the whole surface and the whole picture.
  // src_pitch 0 means the picture's natural row length.
  static HRESULT DrawYv12(DDSURFACEDESC2* desc, const BYTE* picture, SIZE size, RECT* dst,
                          RECT* src, BOOL mirror, int src_pitch);
  static HRESULT DrawYuy2(DDSURFACEDESC2* desc, const BYTE* picture, SIZE size, RECT* dst,
                          RECT* src, BOOL mirror, int src_pitch);
  static HRESULT DrawRgb(DDSURFACEDESC2* desc, const BYTE* picture, SIZE size, RECT* dst, RECT* src,
                         BOOL mirror, int src_pitch);
  // The same on a surface: locks it (0 without writing when that fails), never mirrors.
  static HRESULT DrawYv12(IDirectDrawSurface7* surface, const BYTE* picture, SIZE size, RECT* dst,
                          RECT* src, BOOL mirror, int src_pitch);
  static HRESULT DrawYuy2(IDirectDrawSurface7* surface, const BYTE* picture, SIZE size, RECT* dst,
                          RECT* src, BOOL mirror, int src_pitch);
  static HRESULT DrawRgb(IDirectDrawSurface7* surface, const BYTE* picture, SIZE size, RECT* dst,
                         RECT* src, BOOL mirror, int src_pitch);
  // Blits from another surface; the flag of the rectangle form asks for the source colour key.
  HRESULT Draw(IDirectDrawSurface7* src, BOOL flag);
  HRESULT Draw(IDirectDrawSurface7* src, RECT* src_rect, RECT* dst_rect, BOOL flag);
  // Stretches a bitmap's rectangle (0 sizes: the bitmap's own) over the whole surface.
  HRESULT DrawBitmap(HBITMAP bitmap, int x, int y, int width, int height);
  // Loads the named bitmap (resources, then a file) and draws it whole.
  HRESULT DrawBitmap(LPCSTR name, int width, int height);
  HRESULT DrawTextA(HFONT font, LPCSTR text, int x, int y, COLORREF background,
                    COLORREF foreground);

  HRESULT SetColorKey(COLORREF color);
  // The surface's raw pixel value for a GDI colour; 0 without a surface, 0xFFFFFFFF when the
  // surface cannot be locked.
  DWORD ConvertGDIColor(COLORREF color);
  static HRESULT GetBitMaskInfo(DWORD mask, DWORD* shift, DWORD* bits);
  HRESULT Restore();
  // Points the surface at client memory holding a width x height YUY2 picture.
  HRESULT SetSurface(void* memory, int width, int height);
  // Copies every row into `buffer`, the last row first; 1, or 0 when the lock fails.
  int CopyData(BYTE* buffer);
  // The surface memory (and its pitch when asked); null without a surface or lock.
  BYTE* GetBuffer(LONG* pitch);

  int Width() const { return static_cast<int>(m_ddsd.dwWidth); }
  int Height() const { return static_cast<int>(m_ddsd.dwHeight); }
  LONG Pitch() const { return m_ddsd.lPitch; }
  int BitCount() const { return static_cast<int>(m_ddsd.ddpfPixelFormat.dwRGBBitCount); }
  void SetWidth(int width) { m_ddsd.dwWidth = static_cast<DWORD>(width); }
  void SetHeight(int height) { m_ddsd.dwHeight = static_cast<DWORD>(height); }
  BOOL IsColorKeyed() const { return m_bColorKeyed; }
  IDirectDrawSurface7* GetDDrawSurface() const { return m_pSurface; }
  // The picture surface's device context (the caller releases it); null without a surface.
  HDC GetSurfaceDC();

 protected:
  IDirectDrawSurface7* m_pSurface;
#if VIDEOLIB_GDI_TEXT
  IDirectDrawSurface7* m_pOsdSurface;
#endif
  DDSURFACEDESC2 m_ddsd;
  BOOL m_bColorKeyed;

 private:
  // Locks the picture surface into the cached description and unlocks it at once.
  HRESULT RefreshDesc();
  void Adopt(IDirectDrawSurface7* surface);  // takes over one reference
};
