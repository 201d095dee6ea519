// The x11 backend against a private Xvfb: the window appears with the framebuffer's picture,
// and clicks and keys made by the X server reach the right window of the window system.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "platform/display/display.h"
#include "platform/display/xvfb_server.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/ui.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace platform::display {
namespace {

constexpr char kTitle[] = "orvix x11 test";

class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<XvfbServer>(1024, 768);
    ASSERT_TRUE(server_->running()) << server_->error();
    DisplayOptions options;
    options.backend = "x11";
    options.x11_display = server_->name();
    options.width = 320;
    options.height = 240;
    options.title = kTitle;
    std::string error;
    display_ = Display::Create(options, &error);
    ASSERT_NE(display_, nullptr) << error;
    peer_ = XOpenDisplay(server_->name().c_str());
    ASSERT_NE(peer_, nullptr);
  }
  void TearDown() override {
    if (peer_) XCloseDisplay(peer_);
    display_.reset();
    server_.reset();
  }

  // Our backend's window, found by its title as another client of the server sees it.
  ::Window FindWindow() {
    ::Window root_return, parent_return, *children = nullptr;
    unsigned count = 0;
    XQueryTree(peer_, DefaultRootWindow(peer_), &root_return, &parent_return, &children, &count);
    ::Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
      char* name = nullptr;
      if (XFetchName(peer_, children[i], &name) && name) {
        if (std::strcmp(name, kTitle) == 0) found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }

  std::unique_ptr<XvfbServer> server_;
  std::unique_ptr<Display> display_;
  ::Display* peer_ = nullptr;
};

TEST_F(X11Test, WindowAppearsAndShowsTheFramebuffer) {
  {
    Framebuffer& fb = display_->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    fb.Fill(RECT{0, 0, 320, 240}, 0x000040);
    fb.Fill(RECT{100, 50, 150, 90}, 0x00FF7F);
  }
  ASSERT_TRUE(display_->Present());
  ::Window w = FindWindow();
  ASSERT_NE(w, 0u);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(peer_, w, &attributes));
  EXPECT_EQ(attributes.width, 320);
  EXPECT_EQ(attributes.height, 240);
  EXPECT_EQ(attributes.map_state, IsViewable);
  XImage* image = XGetImage(peer_, w, 0, 0, 320, 240, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(XGetPixel(image, 120, 60) & 0xFFFFFF, 0x00FF7Fu);
  EXPECT_EQ(XGetPixel(image, 99, 60) & 0xFFFFFF, 0x000040u);
  EXPECT_EQ(XGetPixel(image, 150, 89) & 0xFFFFFF, 0x000040u);
  XDestroyImage(image);
}

struct Seen {
  HWND window;
  UINT message;
  LPARAM lparam;
};
std::vector<Seen> g_seen;

LRESULT Watch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if ((message >= WM_LBUTTONDOWN && message <= WM_RBUTTONDBLCLK) || message == WM_CHAR) {
    g_seen.push_back(Seen{window, message, lparam});
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Reads this thread's messages until `count` watched ones came, or five seconds passed.
void PumpUntil(size_t count) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  MSG msg;
  while (g_seen.size() < count && std::chrono::steady_clock::now() < deadline) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  }
}

TEST_F(X11Test, ServerClicksAndKeysReachTheWindowUnderThePointer) {
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = Watch;
  wc.lpszClassName = "X11Watch";
  RegisterClassA(&wc);
  HWND left = CreateWindowExA(0, "X11Watch", "", WS_POPUP | WS_VISIBLE, 0, 0, 160, 240, nullptr,
                              nullptr, nullptr, nullptr);
  HWND right = CreateWindowExA(0, "X11Watch", "", WS_POPUP | WS_VISIBLE, 160, 0, 160, 240, nullptr,
                               nullptr, nullptr, nullptr);
  SetFocus(right);
  ::Window w = FindWindow();
  ASSERT_NE(w, 0u);
  int root_x = 0, root_y = 0;
  ::Window child;
  XTranslateCoordinates(peer_, w, DefaultRootWindow(peer_), 200, 100, &root_x, &root_y, &child);
  g_seen.clear();
  XTestFakeMotionEvent(peer_, DefaultScreen(peer_), root_x, root_y, CurrentTime);
  XTestFakeButtonEvent(peer_, 1, True, CurrentTime);
  XTestFakeButtonEvent(peer_, 1, False, CurrentTime);
  KeyCode a = XKeysymToKeycode(peer_, XK_a);
  XTestFakeKeyEvent(peer_, a, True, CurrentTime);
  XTestFakeKeyEvent(peer_, a, False, CurrentTime);
  XSync(peer_, False);
  PumpUntil(3);
  ASSERT_EQ(g_seen.size(), 3u);
  EXPECT_EQ(g_seen[0].window, right);
  EXPECT_EQ(g_seen[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(GET_X_LPARAM(g_seen[0].lparam), 40);  // 200 - 160
  EXPECT_EQ(GET_Y_LPARAM(g_seen[0].lparam), 100);
  EXPECT_EQ(g_seen[1].message, WM_LBUTTONUP);
  EXPECT_EQ(g_seen[2].message, WM_CHAR);
  SetFocus(nullptr);
  DestroyWindow(left);
  DestroyWindow(right);
}

}  // namespace
}  // namespace platform::display
