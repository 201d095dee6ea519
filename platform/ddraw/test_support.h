#pragma once
// Helpers for tests that need plain DirectDraw surfaces.
#include "platform/ddraw/ddraw.h"

namespace platform::ddraw::test {

// An off-screen surface of the given size and pixel format, or null when it cannot be made.
inline IDirectDrawSurface7* CreateOffscreen(IDirectDraw7* dd, int w, int h,
                                            const DDPIXELFORMAT& format) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = w;
  desc.dwHeight = h;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.ddpfPixelFormat = format;
  IDirectDrawSurface7* surface = nullptr;
  if (dd->CreateSurface(&desc, &surface, nullptr) != DD_OK) return nullptr;
  return surface;
}

}  // namespace platform::ddraw::test
