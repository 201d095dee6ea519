#pragma once
// CMemDC: an off-screen context for flicker-free painting. Everything is drawn into a bitmap
// the size of `area`, which is copied onto the target in one blit when the CMemDC goes. The
// memory context's (0, 0) is the top-left corner of `area`.

#include "platform/gdi/gdi.h"

namespace device::widgets {

class CMemDC {
 public:
  CMemDC(HDC target, const RECT& area);
  ~CMemDC();
  CMemDC(const CMemDC&) = delete;
  CMemDC& operator=(const CMemDC&) = delete;

  HDC m_hDC = nullptr;
  operator HDC() const { return m_hDC; }
  int width() const { return area_.right - area_.left; }
  int height() const { return area_.bottom - area_.top; }
  RECT Bounds() const { return RECT{0, 0, width(), height()}; }

 private:
  HDC target_;
  RECT area_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
};

}  // namespace device::widgets
