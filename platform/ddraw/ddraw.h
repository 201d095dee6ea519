#pragma once
// DirectDraw 7 in system memory: the DirectDraw object, surfaces and clippers, with the
// interface, method, record and constant names of the real thing.
//
// - Off-screen surfaces (DDSCAPS_OFFSCREENPLAIN) hold RGB pixels of 16, 24 or 32 bits with
//   any masks, or YUV in FourCC layouts (YUY2, UYVY, YV12, I420, Y411, Y41P); their memory is
//   ours or, with DDSD_LPSURFACE, the caller's.
// - The primary surface (DDSCAPS_PRIMARYSURFACE) is the desktop framebuffer of the current
//   display (32-bit XRGB). Locking it holds the framebuffer's mutex until Unlock, so a thread
//   must not draw through GDI while it holds the lock; Unlock marks it dirty.
// - Blt stretches (nearest neighbour), converts YUV to RGB (BT.601, video range) and RGB
//   between masks, honours DDBLT_KEYSRC and DDBLT_COLORFILL, and clips a destination that has
//   a clipper to the clipper's window's visible region (client area, screen coordinates).
// - Loss: a surface can be lost (LoseSurfaces below, as a mode switch would); then Blt, Lock
//   and GetDC give DDERR_SURFACELOST until Restore or RestoreAllSurfaces.
//
// Threads: every method may be called from any thread; a surface serialises its own calls.

#include "platform/ddraw/com_base.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

// ---- Results ----------------------------------------------------------------------------
constexpr HRESULT MakeDdResult(unsigned code) { return static_cast<HRESULT>(0x88760000u | code); }
constexpr HRESULT DD_OK = 0;
constexpr HRESULT DD_FALSE = 1;
constexpr HRESULT DDERR_ALREADYINITIALIZED = MakeDdResult(5);
constexpr HRESULT DDERR_CANNOTATTACHSURFACE = MakeDdResult(10);
constexpr HRESULT DDERR_CURRENTLYNOTAVAIL = MakeDdResult(40);
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_INVALIDCAPS = MakeDdResult(100);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeDdResult(130);
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDdResult(145);
constexpr HRESULT DDERR_INVALIDRECT = MakeDdResult(150);
constexpr HRESULT DDERR_NOCLIPPERATTACHED = MakeDdResult(205);
constexpr HRESULT DDERR_NOCOLORKEY = MakeDdResult(215);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = MakeDdResult(212);
constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDdResult(564);
constexpr HRESULT DDERR_SURFACEBUSY = MakeDdResult(430);
constexpr HRESULT DDERR_SURFACELOST = MakeDdResult(450);
constexpr HRESULT DDERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DDERR_WASSTILLDRAWING = MakeDdResult(540);
constexpr HRESULT DDERR_NOTLOCKED = MakeDdResult(584);
constexpr HRESULT DDERR_CANTCREATEDC = MakeDdResult(581);
constexpr HRESULT DDERR_NODC = MakeDdResult(586);
constexpr HRESULT DDERR_NOTFOUND = MakeDdResult(255);
constexpr HRESULT DDERR_NODIRECTDRAWHW = MakeDdResult(575);

// ---- Records ----------------------------------------------------------------------------
constexpr DWORD MAKEFOURCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) |
         (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
         (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) |
         (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
  DWORD dwSize;  // 32
  DWORD dwFlags;
  DWORD dwFourCC;
  union {
    DWORD dwRGBBitCount;
    DWORD dwYUVBitCount;
    DWORD dwZBufferBitDepth;
    DWORD dwAlphaBitDepth;
  };
  union {
    DWORD dwRBitMask;
    DWORD dwYBitMask;
  };
  union {
    DWORD dwGBitMask;
    DWORD dwUBitMask;
  };
  union {
    DWORD dwBBitMask;
    DWORD dwVBitMask;
  };
  union {
    DWORD dwRGBAlphaBitMask;
    DWORD dwYUVAlphaBitMask;
  };
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

constexpr DWORD DDPF_ALPHAPIXELS = 0x00000001;
constexpr DWORD DDPF_FOURCC = 0x00000004;
constexpr DWORD DDPF_RGB = 0x00000040;
constexpr DWORD DDPF_YUV = 0x00000200;

struct DDSCAPS2 {
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCaps3;
  union {
    DWORD dwCaps4;
    DWORD dwVolumeDepth;
  };
};

constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
constexpr DWORD DDSCAPS_FLIP = 0x00000010;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x00000020;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
constexpr DWORD DDSCAPS_OVERLAY = 0x00000080;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;
constexpr DWORD DDSCAPS_VISIBLE = 0x00008000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;

// The field layout of the 32-bit record (124 bytes there; wider here by the pointer).
struct DDSURFACEDESC2 {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  union {
    LONG lPitch;
    DWORD dwLinearSize;
  };
  union {
    DWORD dwBackBufferCount;
    DWORD dwDepth;
  };
  union {
    DWORD dwMipMapCount;
    DWORD dwRefreshRate;
    DWORD dwSrcVBHandle;
  };
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  union {
    DDCOLORKEY ddckCKDestOverlay;
    DWORD dwEmptyFaceColor;
  };
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  union {
    DDPIXELFORMAT ddpfPixelFormat;
    DWORD dwFVF;
  };
  DDSCAPS2 ddsCaps;
  DWORD dwTextureStage;
};
using LPDDSURFACEDESC2 = DDSURFACEDESC2*;

constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
constexpr DWORD DDSD_LPSURFACE = 0x00000800;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;
constexpr DWORD DDSD_CKDESTBLT = 0x00004000;
constexpr DWORD DDSD_CKSRCBLT = 0x00010000;
constexpr DWORD DDSD_LINEARSIZE = 0x00080000;
constexpr DWORD DDSD_ALL = 0x00FFF9EE;

struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DWORD dwROP;
  DWORD dwDDROP;
  DWORD dwRotationAngle;
  DWORD dwZBufferOpCode;
  DWORD dwZBufferLow;
  DWORD dwZBufferHigh;
  DWORD dwZBufferBaseDest;
  DWORD dwZDestConstBitDepth;
  DWORD dwZDestConst;
  DWORD dwZSrcConstBitDepth;
  DWORD dwZSrcConst;
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  DWORD dwAlphaDestConst;
  DWORD dwAlphaSrcConstBitDepth;
  DWORD dwAlphaSrcConst;
  DWORD dwFillColor;
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};
using LPDDBLTFX = DDBLTFX*;

constexpr DWORD DDBLT_ASYNC = 0x00000200;
constexpr DWORD DDBLT_COLORFILL = 0x00000400;
constexpr DWORD DDBLT_DDFX = 0x00000800;
constexpr DWORD DDBLT_KEYDEST = 0x00002000;
constexpr DWORD DDBLT_KEYSRC = 0x00008000;
constexpr DWORD DDBLT_ROP = 0x00020000;
constexpr DWORD DDBLT_WAIT = 0x01000000;
constexpr DWORD DDBLT_DONOTWAIT = 0x08000000;

constexpr DWORD DDLOCK_WAIT = 0x00000001;
constexpr DWORD DDLOCK_READONLY = 0x00000010;
constexpr DWORD DDLOCK_WRITEONLY = 0x00000020;
constexpr DWORD DDLOCK_NOSYSLOCK = 0x00000800;
constexpr DWORD DDLOCK_DONOTWAIT = 0x00004000;

constexpr DWORD DDCKEY_COLORSPACE = 0x00000001;
constexpr DWORD DDCKEY_DESTBLT = 0x00000002;
constexpr DWORD DDCKEY_DESTOVERLAY = 0x00000004;
constexpr DWORD DDCKEY_SRCBLT = 0x00000008;
constexpr DWORD DDCKEY_SRCOVERLAY = 0x00000010;

constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_NORMAL = 0x00000008;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;
constexpr DWORD DDSCL_MULTITHREADED = 0x00000400;

// ---- Interfaces ---------------------------------------------------------------------------
struct IDirectDrawClipper;
struct IDirectDrawSurface7;
struct IDirectDraw7;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;
using LPDIRECTDRAW7 = IDirectDraw7*;

extern const IID IID_IDirectDraw7;
extern const IID IID_IDirectDrawSurface7;
extern const IID IID_IDirectDrawClipper;

struct IDirectDrawClipper : IUnknown {
  // Later blits to a surface holding this clipper are clipped to the window's visible
  // region, taken at each blit. A null window removes the limit.
  virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
  virtual HRESULT GetHWnd(HWND* window) = 0;
};

struct IDirectDrawSurface7 : IUnknown {
  // Null rectangles mean the whole surface. Stretches when the sizes differ.
  virtual HRESULT Blt(RECT* dst_rect, IDirectDrawSurface7* src, RECT* src_rect, DWORD flags,
                      DDBLTFX* fx) = 0;
  virtual HRESULT GetDC(HDC* dc) = 0;  // RGB surfaces only
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
  virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
  virtual HRESULT IsLost() = 0;
  // Fills the description (lpSurface points at the rectangle's first pixel when one is given).
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT Unlock(RECT* rect) = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
  virtual HRESULT GetClipper(IDirectDrawClipper** clipper) = 0;
  virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;  // null key removes it
  virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  // Off-screen system-memory surfaces only: points the surface at caller memory
  // (DDSD_LPSURFACE with DDSD_PITCH, DDSD_WIDTH, DDSD_HEIGHT, DDSD_PIXELFORMAT as given).
  virtual HRESULT SetSurfaceDesc(DDSURFACEDESC2* desc, DWORD flags) = 0;
};

struct IDirectDraw7 : IUnknown {
  virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) = 0;
  virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface,
                                IUnknown* outer) = 0;
  virtual HRESULT GetDisplayMode(DDSURFACEDESC2* desc) = 0;
  virtual HRESULT RestoreDisplayMode() = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT RestoreAllSurfaces() = 0;
};

// Creates a DirectDraw object: guid must be null (the display driver), iid IID_IDirectDraw7.
HRESULT DirectDrawCreateEx(GUID* guid, void** out, REFIID iid, IUnknown* outer);
HRESULT DirectDrawCreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer);

namespace platform::ddraw {

// Test hooks, standing in for what a display driver does to a program.
// Marks every surface of `ddraw` lost (what a display mode switch does).
void LoseSurfaces(IDirectDraw7* ddraw);
// Marks one surface lost.
void LoseSurface(IDirectDrawSurface7* surface);
// The next `count` Blt calls with `surface` as destination return DDERR_WASSTILLDRAWING
// without drawing, whatever their flags.
void InjectStillDrawing(IDirectDrawSurface7* surface, int count);
// Number of DirectDraw objects, surfaces and clippers alive (for leak checks in tests).
int LiveObjectCount();

}  // namespace platform::ddraw

#pragma GCC visibility pop
