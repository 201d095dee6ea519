#pragma once
// Input for tests and tools, given the way a person gives it: moves, clicks, double clicks,
// right clicks and key presses at desktop coordinates. It enters the window system through
// the same calls as a backend's real events (platform/ui/input.h).
//
// Event times come from a clock that follows GetTickCount but never runs backwards and
// moves on by itself between the parts of a gesture: a click's release comes 60 ms after
// its press, a double click's second press 120 ms after the first. Wait() moves it on
// without sleeping, so two separate clicks are not taken for a double click.

#include <cstddef>

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

namespace platform::display {

enum class Button { kLeft, kRight, kMiddle };

class InputInjector {
 public:
  void MoveTo(int x, int y);
  void Press(Button button, int x, int y);
  void Release(Button button, int x, int y);
  void Click(int x, int y, Button button = Button::kLeft);
  void DoubleClick(int x, int y, Button button = Button::kLeft);
  void RightClick(int x, int y) { Click(x, y, Button::kRight); }
  void RightDoubleClick(int x, int y) { DoubleClick(x, y, Button::kRight); }
  void Key(UINT virtual_key);  // down and up
  void KeyDown(UINT virtual_key);
  void KeyUp(UINT virtual_key);
  // Text as a keyboard's input method gives it, in the program's code page: WM_CHAR bytes to
  // the focused window.
  void Text(const char* bytes, size_t count);
  void Wait(DWORD milliseconds);

 private:
  DWORD Stamp(DWORD step);
  DWORD last_ = 0;
  bool started_ = false;
};

}  // namespace platform::display

#pragma GCC visibility pop
