#pragma once
// Invalidation and painting. A window's update region (client coordinates) grows with
// InvalidateRect; while it is not empty, the window's thread gets WM_PAINT when its queue has
// nothing else. BeginPaint sends WM_NCPAINT when the frame needs drawing and WM_ERASEBKGND
// when the invalidation asked for erasing, validates the update region and gives a device
// context clipped to it; EndPaint releases that context.
//
// Device contexts are the drawing layer's (platform/gdi): it installs a DcProvider, and the
// window system asks it for contexts on windows. Without a provider, BeginPaint gives a null
// context but still validates, so the window system works on its own.

#include "platform/ui/region.h"
#include "platform/ui/ui_types.h"

#pragma GCC visibility push(default)

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);  // null rect: whole client
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
// Sends WM_PAINT now when the window's update region is not empty, then does the same for
// its children.
BOOL UpdateWindow(HWND window);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_FRAME = 0x0400;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_NOCHILDREN = 0x0040;
BOOL RedrawWindow(HWND window, const RECT* rect, void* region, UINT flags);

#pragma GCC visibility pop

namespace platform::ui {

// Which part of a window a device context draws on.
enum class DcArea { kClient, kWindow };

// What a device context on a window needs from the window system: where it is and what it
// may touch. Everything is in screen coordinates.
struct DcTarget {
  HWND window;
  DcArea area;
  POINT origin;  // screen position of the context's (0, 0)
  Region clip;   // visible part, further limited to the update region inside BeginPaint
};

// Implemented by the drawing layer. Called on the window's thread, without any window-system
// lock held.
class DcProvider {
 public:
  virtual ~DcProvider() = default;
  virtual HDC Acquire(const DcTarget& target) = 0;
  virtual void Release(HDC dc) = 0;
  // The default WM_ERASEBKGND: fill the context's area in `brush`.
  virtual void FillBackground(HDC dc, const RECT& rect, HBRUSH brush) = 0;
};
// The provider must outlive every window. Null removes it.
void SetDcProvider(DcProvider* provider);
DcProvider* GetDcProvider();

// The part of the screen a window can show, in screen coordinates: its area (client or
// whole window) cut by every ancestor's client area and by the visible siblings above it and
// above each ancestor; with `clip_children` its visible children are cut out too. Empty when
// the window or an ancestor is hidden. This is what a DirectDraw clipper clips a blit to.
Region VisibleRegion(HWND window, DcArea area, bool clip_children);
// The target a context on `window` would get outside painting (GetDC, GetWindowDC).
bool DcTargetOf(HWND window, DcArea area, DcTarget* out);

}  // namespace platform::ui
