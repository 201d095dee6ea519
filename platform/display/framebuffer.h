#pragma once
// The desktop's picture: 32-bit XRGB pixels (0x00RRGGBB in native order, blue in the lowest
// byte), width x height, rows top-down without padding. Everything drawn on the desktop lands
// here; the display backend shows it to a person or saves it.
//
// Threads: any thread may draw while holding mutex(); it then calls MarkDirty with what it
// changed, which the backend pushes at its next refresh.

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

namespace platform::display {

class Framebuffer {
 public:
  // REQUIRES: 0 < width, height <= 16384.
  Framebuffer(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return width_; }  // in pixels
  uint32_t* pixels() { return pixels_.data(); }
  const uint32_t* pixels() const { return pixels_.data(); }
  std::mutex& mutex() { return mutex_; }

  // REQUIRES for the rest: mutex() held.
  uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  void Fill(const RECT& rect, uint32_t xrgb);  // clipped to the framebuffer; marks it dirty
  void MarkDirty(const RECT& rect);
  void MarkAllDirty();
  // The union of what changed since the last call (empty when nothing did), and forgets it.
  RECT TakeDirty();

 private:
  const int width_;
  const int height_;
  std::vector<uint32_t> pixels_;
  std::mutex mutex_;
  RECT dirty_{0, 0, 0, 0};
};

}  // namespace platform::display

#pragma GCC visibility pop
