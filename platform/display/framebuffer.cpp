#include "platform/display/framebuffer.h"

#include <algorithm>
#include <utility>

namespace platform::display {
namespace {

bool Clip(RECT* r, int width, int height) {
  r->left = std::max<LONG>(r->left, 0);
  r->top = std::max<LONG>(r->top, 0);
  r->right = std::min<LONG>(r->right, width);
  r->bottom = std::min<LONG>(r->bottom, height);
  return r->left < r->right && r->top < r->bottom;
}

}  // namespace

Framebuffer::Framebuffer(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, 0) {}

void Framebuffer::Fill(const RECT& rect, uint32_t xrgb) {
  RECT r = rect;
  if (!Clip(&r, width_, height_)) return;
  for (LONG y = r.top; y < r.bottom; ++y) {
    uint32_t* row = pixels_.data() + static_cast<size_t>(y) * width_;
    std::fill(row + r.left, row + r.right, xrgb);
  }
  MarkDirty(r);
}

void Framebuffer::MarkDirty(const RECT& rect) {
  RECT r = rect;
  if (!Clip(&r, width_, height_)) return;
  if (dirty_.right <= dirty_.left) {
    dirty_ = r;
    return;
  }
  dirty_.left = std::min(dirty_.left, r.left);
  dirty_.top = std::min(dirty_.top, r.top);
  dirty_.right = std::max(dirty_.right, r.right);
  dirty_.bottom = std::max(dirty_.bottom, r.bottom);
}

void Framebuffer::MarkAllDirty() { dirty_ = RECT{0, 0, width_, height_}; }

RECT Framebuffer::TakeDirty() { return std::exchange(dirty_, RECT{0, 0, 0, 0}); }

}  // namespace platform::display
