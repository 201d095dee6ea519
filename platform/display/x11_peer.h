#pragma once
// Another client of an X server, for tests of the x11 backend: it finds a window by its title,
// reads back what the server shows, and presses buttons and keys through the XTest extension
// the way a person at that server would.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::display {

class X11Peer {
 public:
  struct WindowState {
    int width = 0;
    int height = 0;
    bool viewable = false;
  };

  // Null when the server cannot be reached.
  static std::unique_ptr<X11Peer> Open(const std::string& display_name);
  ~X11Peer();
  X11Peer(const X11Peer&) = delete;
  X11Peer& operator=(const X11Peer&) = delete;

  // A top-level window with this title, or 0.
  uint64_t FindWindow(const std::string& title);
  bool GetWindowState(uint64_t window, WindowState* state);
  // The window's pixels from (0, 0) as 0xRRGGBB, row by row; empty when they cannot be read.
  std::vector<uint32_t> ReadPixels(uint64_t window, int width, int height);
  // Moves the pointer to (x, y) of the window and presses and releases the left button `times`
  // times.
  void Click(uint64_t window, int x, int y, int times);
  // Presses and releases the key of a printable character.
  void TypeChar(char c);
  // Presses or releases the key of an X keysym (XK_Tab, XK_Shift_L...). A keysym no key has
  // (a Chinese character's 0x1004E2D) is first given to a spare key code.
  void Key(unsigned long keysym, bool down);
  void Tap(unsigned long keysym) {
    Key(keysym, true);
    Key(keysym, false);
  }

 private:
  explicit X11Peer(void* display) : display_(display) {}
  void* display_;  // ::Display*, kept opaque so that users need no Xlib headers
};

}  // namespace platform::display
