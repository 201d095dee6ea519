#include "platform/gdi/window_pixels.h"

#include "platform/display/framebuffer.h"
#include "platform/gdi/gdi_internal.h"

namespace platform::gdi {

bool WindowPixels::Lock(HDC window_dc, const RECT& rect) {
  Unlock();
  DeviceContext* dc = AsDc(window_dc);
  if (dc == nullptr || dc->target.top == nullptr || !dc->target.format.IsXrgb32()) return false;
  const RECT t{rect.left + dc->origin.x, rect.top + dc->origin.y, rect.right + dc->origin.x,
               rect.bottom + dc->origin.y};
  if (t.left < 0 || t.top < 0 || t.right > dc->target.width || t.bottom > dc->target.height ||
      t.left >= t.right || t.top >= t.bottom) {
    return false;
  }
  // Wholly visible: the clip covers every pixel of it.
  platform::ui::Region shown = dc->clip;
  shown.Intersect(t);
  const long long area = static_cast<long long>(t.right - t.left) * (t.bottom - t.top);
  if (shown.Area() != area) return false;
  mutex_ = dc->target.mutex;
  if (mutex_ != nullptr) mutex_->lock();
  top_ = dc->target.Row(t.top) + static_cast<long>(t.left) * 4;
  pitch_ = dc->target.pitch;
  width_ = t.right - t.left;
  height_ = t.bottom - t.top;
  framebuffer_ = dc->target.dirty;
  changed_ = t;
  return true;
}

HDC WindowPixels::dc() {
  if (top_ == nullptr) return nullptr;
  if (dc_ == nullptr) {
    PixelTarget target;
    target.top = top_;
    target.width = width_;
    target.height = height_;
    target.pitch = pitch_;
    target.format = Xrgb32();
    // Neither lock nor report: both are this object's, for the whole rectangle.
    dc_ = CreateDcOverPixels(target, nullptr);
  }
  return dc_;
}

void WindowPixels::Unlock() {
  if (top_ == nullptr) return;
  if (dc_ != nullptr) DeleteDC(dc_);
  if (framebuffer_ != nullptr) {
    static_cast<platform::display::Framebuffer*>(framebuffer_)->MarkDirty(changed_);
  }
  if (mutex_ != nullptr) mutex_->unlock();
  top_ = nullptr;
  pitch_ = 0;
  width_ = height_ = 0;
  dc_ = nullptr;
  mutex_ = nullptr;
  framebuffer_ = nullptr;
  changed_ = RECT{0, 0, 0, 0};
}

}  // namespace platform::gdi
