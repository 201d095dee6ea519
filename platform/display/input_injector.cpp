#include "platform/display/input_injector.h"

#include "platform/kernel/clock.h"
#include "platform/ui/input.h"

namespace platform::display {
namespace {

constexpr DWORD kStep = 1;
constexpr DWORD kHold = 60;
constexpr DWORD kBetweenClicks = 120;
constexpr DWORD kAfterGesture = 1000;  // longer than any double-click time

ui::MouseButton ToUi(Button b) {
  return b == Button::kLeft    ? ui::MouseButton::kLeft
         : b == Button::kRight ? ui::MouseButton::kRight
                               : ui::MouseButton::kMiddle;
}

}  // namespace

DWORD InputInjector::Stamp(DWORD step) {
  DWORD now = GetTickCount();
  if (!started_ || static_cast<int32_t>(now - (last_ + step)) > 0) {
    last_ = now;
    started_ = true;
  } else {
    last_ += step;
  }
  return last_;
}

void InputInjector::MoveTo(int x, int y) { ui::InputMouseMove(x, y, Stamp(kStep)); }

void InputInjector::Press(Button button, int x, int y) {
  ui::InputMouseButton(ToUi(button), true, x, y, Stamp(kStep));
}

void InputInjector::Release(Button button, int x, int y) {
  ui::InputMouseButton(ToUi(button), false, x, y, Stamp(kHold));
}

void InputInjector::Click(int x, int y, Button button) {
  MoveTo(x, y);
  Press(button, x, y);
  Release(button, x, y);
}

void InputInjector::DoubleClick(int x, int y, Button button) {
  Click(x, y, button);
  ui::InputMouseButton(ToUi(button), true, x, y, Stamp(kBetweenClicks));
  Release(button, x, y);
  Wait(kAfterGesture);
}

void InputInjector::Key(UINT virtual_key) {
  ui::InputKey(virtual_key, true, Stamp(kStep));
  ui::InputKey(virtual_key, false, Stamp(kHold));
}

void InputInjector::KeyDown(UINT virtual_key) { ui::InputKey(virtual_key, true, Stamp(kStep)); }

void InputInjector::KeyUp(UINT virtual_key) { ui::InputKey(virtual_key, false, Stamp(kStep)); }

void InputInjector::Text(const char* bytes, size_t count) {
  ui::InputText(bytes, count, Stamp(kStep));
}

void InputInjector::Wait(DWORD milliseconds) { Stamp(milliseconds); }

}  // namespace platform::display
