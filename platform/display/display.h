#pragma once
// The display: the desktop framebuffer and the backend that shows it to a person.
//
// Backends: "x11" (a real window through Xlib showing the framebuffer; mouse and keyboard
// events in that window become the window system's input) and "headless" (no window;
// screenshots as PNG on request). "auto" picks x11 when DISPLAY is set, headless otherwise.
// One display per process: Create sets the desktop's size in the window system, and
// Current() gives the live display to the drawing layer.
//
// Threads: the x11 backend reads events and refreshes the window on a thread of its own,
// pushing what the framebuffer marked dirty about 60 times a second; Present pushes at once.

#include <memory>
#include <string>

#include "platform/display/framebuffer.h"
#include "platform/display/input_injector.h"

#pragma GCC visibility push(default)

namespace platform::display {

struct DisplayOptions {
  std::string backend = "auto";  // "auto", "x11" or "headless"
  int width = 1280;
  int height = 720;
  std::string x11_display;  // X display name; empty: $DISPLAY
  std::string title = "Orvix";
};

class Display {
 public:
  // Null with *error set when the backend is unknown or cannot start, the size is outside
  // 1..16384, or a display already exists.
  static std::unique_ptr<Display> Create(const DisplayOptions& options, std::string* error);
  // The headless backend at the given size, as tests and benchmarks want it.
  static std::unique_ptr<Display> CreateHeadless(int width, int height, std::string* error);
  static Display* Current();

  virtual ~Display();
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  virtual const char* backend() const = 0;
  Framebuffer& framebuffer() { return framebuffer_; }
  // Shows what changed in the framebuffer now; false when the backend has lost its screen.
  virtual bool Present() = 0;
  // True once the person asked to close the backend's window (never for headless).
  virtual bool CloseRequested() const { return false; }
  // The whole framebuffer as a PNG file.
  bool Screenshot(const std::string& path, std::string* error);
  // Input as a person gives it, through the same entry as the backend's real events.
  InputInjector& input() { return injector_; }

 protected:
  Display(int width, int height);

 private:
  Framebuffer framebuffer_;
  InputInjector injector_;
};

#pragma GCC visibility pop

// The backends' factories (display_headless.cpp, display_x11.cpp).
std::unique_ptr<Display> CreateHeadlessDisplay(const DisplayOptions& options, std::string* error);
std::unique_ptr<Display> CreateX11Display(const DisplayOptions& options, std::string* error);

}  // namespace platform::display
