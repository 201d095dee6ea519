#include "device/widgets/mem_dc.h"

#include <algorithm>

namespace device::widgets {

CMemDC::CMemDC(HDC target, const RECT& area) : target_(target), area_(area) {
  m_hDC = CreateCompatibleDC(target);
  bitmap_ = CreateCompatibleBitmap(target, std::max(width(), 1), std::max(height(), 1));
  old_bitmap_ = SelectObject(m_hDC, bitmap_);
}

CMemDC::~CMemDC() {
  if (target_ != nullptr && width() > 0 && height() > 0) {
    BitBlt(target_, area_.left, area_.top, width(), height(), m_hDC, 0, 0, SRCCOPY);
  }
  SelectObject(m_hDC, old_bitmap_);
  DeleteObject(bitmap_);
  DeleteDC(m_hDC);
}

}  // namespace device::widgets
