#pragma once
// Shared by the video window and renderer tests: a headless display, a parent window that
// records what the video windows send it, and pixel access to the desktop.

#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/ui.h"

class CVideoWnd;

namespace videownd_test {

struct ParentMessage {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  bool operator==(const ParentMessage&) const = default;
};
void PrintTo(const ParentMessage& m, std::ostream* os);

// What the parent does with a click message: nothing, or arrange the video window the way
// the viewer control does (large on an enlarge request, back to its grid place on return).
class ParentWindow {
 public:
  ParentWindow(int x, int y, int width, int height);
  ~ParentWindow();
  HWND hwnd() const { return hwnd_; }
  // Click (1224) and select (1225) messages received, in order.
  std::vector<ParentMessage> Take();
  // When set, a click message (wParam = channel, lParam 1) moves `video` to `large`, and the
  // return (wParam -1, lParam 1) moves it to its normal rectangle.
  void ArrangeOnClick(CVideoWnd* video, const RECT& large);

 private:
  static LRESULT Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  HWND hwnd_ = nullptr;
  std::mutex mutex_;
  std::vector<ParentMessage> log_;
  CVideoWnd* video_ = nullptr;
  RECT large_{};
};

class Desktop {
 public:
  Desktop(int width = 800, int height = 600);
  platform::display::Display& display() { return *display_; }
  platform::display::InputInjector& input() { return display_->input(); }
  // 0x00RRGGBB of the desktop at (x, y).
  uint32_t Pixel(int x, int y);
  // Dispatches everything the thread can read now.
  void Drain();

 private:
  std::unique_ptr<platform::display::Display> display_;
};

// COLORREF (0x00BBGGRR) as the desktop stores it (0x00RRGGBB).
constexpr uint32_t Xrgb(COLORREF c) {
  return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
         GetBValue(c);
}

// The screen rectangle of a window's client area.
RECT ClientOnScreen(HWND hwnd);

}  // namespace videownd_test
