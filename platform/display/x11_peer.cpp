#include "platform/display/x11_peer.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstring>

namespace platform::display {
namespace {

::Display* X(void* display) { return static_cast<::Display*>(display); }

}  // namespace

std::unique_ptr<X11Peer> X11Peer::Open(const std::string& display_name) {
  ::Display* display = XOpenDisplay(display_name.c_str());
  if (!display) return nullptr;
  return std::unique_ptr<X11Peer>(new X11Peer(display));
}

X11Peer::~X11Peer() { XCloseDisplay(X(display_)); }

uint64_t X11Peer::FindWindow(const std::string& title) {
  ::Display* d = X(display_);
  ::Window root_return, parent_return, *children = nullptr;
  unsigned count = 0;
  XQueryTree(d, DefaultRootWindow(d), &root_return, &parent_return, &children, &count);
  ::Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(d, children[i], &name) && name) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

bool X11Peer::GetWindowState(uint64_t window, WindowState* state) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(X(display_), window, &attributes)) return false;
  state->width = attributes.width;
  state->height = attributes.height;
  state->viewable = attributes.map_state == IsViewable;
  return true;
}

std::vector<uint32_t> X11Peer::ReadPixels(uint64_t window, int width, int height) {
  XImage* image = XGetImage(X(display_), window, 0, 0, width, height, AllPlanes, ZPixmap);
  if (!image) return {};
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels[static_cast<size_t>(y) * width + x] =
          static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF);
    }
  }
  XDestroyImage(image);
  return pixels;
}

void X11Peer::Click(uint64_t window, int x, int y, int times) {
  ::Display* d = X(display_);
  int root_x = 0, root_y = 0;
  ::Window child;
  XTranslateCoordinates(d, window, DefaultRootWindow(d), x, y, &root_x, &root_y, &child);
  XTestFakeMotionEvent(d, DefaultScreen(d), root_x, root_y, CurrentTime);
  for (int i = 0; i < times; ++i) {
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
  }
  XSync(d, False);
}

void X11Peer::TypeChar(char c) {
  ::Display* d = X(display_);
  char name[2] = {c, 0};
  KeyCode key = XKeysymToKeycode(d, XStringToKeysym(name));
  XTestFakeKeyEvent(d, key, True, CurrentTime);
  XTestFakeKeyEvent(d, key, False, CurrentTime);
  XSync(d, False);
}

}  // namespace platform::display

namespace platform::display {

void X11Peer::Key(unsigned long keysym, bool down) {
  ::Display* d = X(display_);
  KeyCode key = XKeysymToKeycode(d, keysym);
  if (key == 0) {
    // The highest key code without a symbol takes this one.
    int low = 0, high = 0;
    XDisplayKeycodes(d, &low, &high);
    for (int code = high; code >= low && key == 0; --code) {
      if (XkbKeycodeToKeysym(d, static_cast<KeyCode>(code), 0, 0) == NoSymbol) {
        KeySym sym = keysym;
        XChangeKeyboardMapping(d, code, 1, &sym, 1);
        XSync(d, False);
        key = static_cast<KeyCode>(code);
      }
    }
    if (key == 0) return;
  }
  XTestFakeKeyEvent(d, key, down ? True : False, CurrentTime);
  XSync(d, False);
}

}  // namespace platform::display
