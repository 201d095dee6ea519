#pragma once
// A memory device context with a bitmap of its own selected into it: what a picture or a
// panel is composed in off the screen.

#include "platform/gdi/gdi.h"

struct MemoryDc {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;  // what the context held before the bitmap

  // Takes a new context and bitmap (freeing what was held) and selects one into the other;
  // when either is missing both are freed and false is returned.
  bool Take(HDC new_dc, HBITMAP new_bitmap) {
    Free();
    dc = new_dc;
    bitmap = new_bitmap;
    if (dc == nullptr || bitmap == nullptr) {
      Free();
      return false;
    }
    old = SelectObject(dc, bitmap);
    return true;
  }
  void Free() {
    if (dc != nullptr) {
      if (old != nullptr) SelectObject(dc, old);
      DeleteDC(dc);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    dc = nullptr;
    bitmap = nullptr;
    old = nullptr;
  }
};
