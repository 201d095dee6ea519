#pragma once
// Pixel format descriptions as callers fill them in for CreateSurface.
#include "platform/ddraw/ddraw.h"

#pragma GCC visibility push(default)

namespace platform::ddraw {

// A YUV format named by its FourCC, with its average bits per pixel.
inline DDPIXELFORMAT FourCcFormat(DWORD fourcc, DWORD bits) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(f);
  f.dwFlags = DDPF_FOURCC;
  f.dwFourCC = fourcc;
  f.dwYUVBitCount = bits;
  return f;
}

// An RGB format with its bits per pixel and the masks of its three components.
inline DDPIXELFORMAT RgbFormat(DWORD bits, DWORD r, DWORD g, DWORD b) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(f);
  f.dwFlags = DDPF_RGB;
  f.dwRGBBitCount = bits;
  f.dwRBitMask = r;
  f.dwGBitMask = g;
  f.dwBBitMask = b;
  return f;
}

}  // namespace platform::ddraw

#pragma GCC visibility pop
