#pragma once
// Direct access to the pixels a window shows in one rectangle, for a writer that replaces
// every pixel of it, as a video picture does: it converts straight into what the display
// shows instead of into a bitmap that is then copied there.
//
// Granted only when the whole rectangle is visible (inside the context's clip) and the pixels
// are 32-bit XRGB, so that writing them is exactly what copying the same XRGB pixels there
// with BitBlt would do. The pixels stay locked from a successful Lock until Unlock: no other
// drawing and no refresh of the display sees them half made. Meanwhile draw on them only
// through top()/pitch() or dc(), never through a context of the window itself, which would
// wait for the lock. Unlock reports the rectangle changed.

#include <cstdint>
#include <mutex>

#include "platform/gdi/gdi.h"

#pragma GCC visibility push(default)

namespace platform::gdi {

class WindowPixels {
 public:
  WindowPixels() = default;
  ~WindowPixels() { Unlock(); }
  WindowPixels(const WindowPixels&) = delete;
  WindowPixels& operator=(const WindowPixels&) = delete;

  // `rect` in the context's coordinates. False, and nothing locked, when the context is not
  // a live one, the rectangle is empty, any of it is hidden or outside the pixels, or the
  // pixels are not XRGB.
  bool Lock(HDC window_dc, const RECT& rect);
  void Unlock();

  // The rectangle's top-left pixel; rows are pitch() bytes apart. Null when not locked.
  uint8_t* top() const { return top_; }
  long pitch() const { return pitch_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // A context over exactly the locked pixels, (0, 0) at their top-left; made on first use,
  // freed by Unlock. Null when not locked.
  HDC dc();

 private:
  uint8_t* top_ = nullptr;
  long pitch_ = 0;
  int width_ = 0;
  int height_ = 0;
  HDC dc_ = nullptr;
  std::mutex* mutex_ = nullptr;
  void* framebuffer_ = nullptr;  // told what changed, when the pixels are the desktop's
  RECT changed_{0, 0, 0, 0};
};

}  // namespace platform::gdi

#pragma GCC visibility pop
