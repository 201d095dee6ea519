// Video windows on the x11 backend against a private Xvfb: a picture drawn by the renderer is
// what the X server shows, in the window's rectangle, and clicks made by the X server reach
// the video window under the pointer and no neighbour.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/display/xvfb_server.h"
#include "platform/kernel/clock.h"
#include "videolib/pixel_convert.h"
#include "videolib/video_out.h"
#include "videolib/video_wnd.h"
#include "videolib/videownd_test_support.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

using videownd_test::ClientOnScreen;
using videownd_test::ParentMessage;
using videownd_test::ParentWindow;

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr char kTitle[] = "orvix video window x11 test";
constexpr WPARAM W(intptr_t v) { return static_cast<WPARAM>(v); }

bool XvfbInstalled() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "");
  std::string dir;
  std::error_code ec;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && std::filesystem::exists(std::filesystem::path(dir) / "Xvfb", ec))
      return true;
  }
  return false;
}

// Reports presses as a channel does (the window itself reports only its gestures).
class ChannelWnd : public CVideoWnd {
 public:
  void OnSetCurrent(int current) override {
    SendToParent(GetSelectMessage(), static_cast<WPARAM>(m_nChannel), current);
  }
};

struct Yuv {
  BYTE y, u, v;
};
constexpr Yuv kRed{82, 90, 240};
constexpr Yuv kBlue{41, 240, 110};

// A YUY2 picture whose top half is `top` and bottom half `bottom`: an upside-down or shifted
// presentation shows.
std::vector<BYTE> TwoBandPicture(int w, int h, Yuv top, Yuv bottom) {
  std::vector<BYTE> p(static_cast<size_t>(w) * h * 2);
  for (int y = 0; y < h; ++y) {
    Yuv c = y < h / 2 ? top : bottom;
    for (int x = 0; x < w; x += 2) {
      BYTE* q = &p[(static_cast<size_t>(y) * w + x) * 2];
      q[0] = c.y, q[1] = c.u, q[2] = c.y, q[3] = c.v;
    }
  }
  return p;
}

// The 0x00RRGGBB colour the DrawDib path gives a flat YUY2 colour.
uint32_t DibColor(Yuv c) {
  std::vector<BYTE> p = TwoBandPicture(2, 2, c, c);
  BYTE bgr[12];
  pixel::reference::Yuy2ToBgr24(p.data(), bgr, 2, 2);
  return (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
}

class VideoWndX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbInstalled()) GTEST_SKIP() << "Xvfb is not installed";
    CVideoWnd::m_bFull = 0;
    server_ = std::make_unique<platform::display::XvfbServer>(1024, 768);
    ASSERT_TRUE(server_->running()) << server_->error();
    platform::display::DisplayOptions options;
    options.backend = "x11";
    options.x11_display = server_->name();
    options.width = kWidth;
    options.height = kHeight;
    options.title = kTitle;
    std::string error;
    display_ = platform::display::Display::Create(options, &error);
    ASSERT_NE(display_, nullptr) << error;
    platform::gdi::InstallDcProvider();
    peer_ = XOpenDisplay(server_->name().c_str());
    ASSERT_NE(peer_, nullptr);
    window_ = FindWindow();
    ASSERT_NE(window_, 0u);

    parent_ = std::make_unique<ParentWindow>(0, 0, kWidth, kHeight);
    left_.Init(nullptr, 0);
    right_.Init(nullptr, 1);
    ASSERT_TRUE(left_.CreateWnd(RECT{10, 10, 362, 298}, parent_->hwnd(), 0));
    ASSERT_TRUE(right_.CreateWnd(RECT{400, 10, 752, 298}, parent_->hwnd(), 1));
    Pump([] { return false; }, 200);
    parent_->Take();
  }
  void TearDown() override {
    if (left_.m_hWnd) DestroyWindow(left_.m_hWnd);
    if (right_.m_hWnd) DestroyWindow(right_.m_hWnd);
    parent_.reset();
    if (peer_) XCloseDisplay(peer_);
    display_.reset();
    server_.reset();
  }

  // The backend's window as another client of the server sees it.
  ::Window FindWindow() {
    ::Window root_return, parent_return, *children = nullptr;
    unsigned count = 0;
    XQueryTree(peer_, DefaultRootWindow(peer_), &root_return, &parent_return, &children, &count);
    ::Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
      char* name = nullptr;
      if (XFetchName(peer_, children[i], &name) && name) {
        if (std::string(name) == kTitle) found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }

  // Dispatches this thread's messages until `done` holds or `ms` passed.
  template <typename Done>
  bool Pump(Done done, int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    MSG msg;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      Sleep(5);
    }
    return true;
  }

  // Presses and releases the left button `times` times at the centre of `video`'s client
  // area, through the X server; collects what the parent is sent until `expected` messages came.
  std::vector<ParentMessage> ClickCentre(const CVideoWnd& video, int times, size_t expected) {
    RECT c = ClientOnScreen(video.m_hWnd);
    int root_x = 0, root_y = 0;
    ::Window child;
    XTranslateCoordinates(peer_, window_, DefaultRootWindow(peer_), (c.left + c.right) / 2,
                          (c.top + c.bottom) / 2, &root_x, &root_y, &child);
    XTestFakeMotionEvent(peer_, DefaultScreen(peer_), root_x, root_y, CurrentTime);
    for (int i = 0; i < times; ++i) {
      XTestFakeButtonEvent(peer_, 1, True, CurrentTime);
      XTestFakeButtonEvent(peer_, 1, False, CurrentTime);
    }
    XSync(peer_, False);
    std::vector<ParentMessage> sent;
    Pump(
        [&] {
          for (const ParentMessage& m : parent_->Take()) sent.push_back(m);
          return sent.size() >= expected;
        },
        5000);
    Pump([] { return false; }, 100);  // anything sent beyond what was expected
    for (const ParentMessage& m : parent_->Take()) sent.push_back(m);
    return sent;
  }

  std::unique_ptr<platform::display::XvfbServer> server_;
  std::unique_ptr<platform::display::Display> display_;
  ::Display* peer_ = nullptr;
  ::Window window_ = 0;
  std::unique_ptr<ParentWindow> parent_;
  ChannelWnd left_;
  ChannelWnd right_;
};

TEST_F(VideoWndX11Test, PresentedPictureIsShownInTheVideoWindowsRectangle) {
  CVideoOut out;
  ASSERT_EQ(out.InitDrawDib(), 1);
  std::vector<BYTE> picture = TwoBandPicture(352, 288, kRed, kBlue);
  ASSERT_EQ(out.DrawDibYuy2(picture.data(), right_.m_hWnd, nullptr, 1, 0, 0, 352, 288), 0);
  ASSERT_TRUE(display_->Present());

  XImage* image = XGetImage(peer_, window_, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  auto at = [&](int x, int y) { return static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF); };
  RECT r = ClientOnScreen(right_.m_hWnd);
  int middle = (r.top + r.bottom) / 2;
  uint32_t red = DibColor(kRed), blue = DibColor(kBlue);
  int misses = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) misses += at(x, y) == (y < middle ? red : blue) ? 0 : 1;
  }
  EXPECT_EQ(misses, 0) << "in " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  EXPECT_NE(at(r.left - 1, r.top), red);
  EXPECT_NE(at(r.left, r.top - 1), red);
  EXPECT_NE(at(r.right, r.bottom - 1), blue);
  EXPECT_NE(at(r.right - 1, r.bottom), blue);
  // The neighbour was not drawn on.
  RECT l = ClientOnScreen(left_.m_hWnd);
  EXPECT_NE(at((l.left + l.right) / 2, l.top + 5), red);
  EXPECT_NE(at((l.left + l.right) / 2, l.bottom - 5), blue);
  XDestroyImage(image);
}

TEST_F(VideoWndX11Test, ServerClicksReachTheVideoWindowUnderThePointer) {
  const UINT select = CVideoWnd::GetSelectMessage();
  const UINT click = CVideoWnd::GetClickMessage();
  std::vector<ParentMessage> pressed{{select, W(1), 0}};
  EXPECT_EQ(ClickCentre(right_, 1, 1), pressed);
  EXPECT_EQ(right_.m_bFocused, 1);
  EXPECT_EQ(left_.m_bFocused, 0);

  // A double click on the other window is its enlarge gesture.
  Sleep(1000);  // the first click is too old to pair with these
  std::vector<ParentMessage> enlarge{{select, W(0), 0}, {click, W(-1), 0}, {click, W(0), 1}};
  EXPECT_EQ(ClickCentre(left_, 2, 3), enlarge);
  EXPECT_EQ(left_.IsLarge(), 1);
  EXPECT_EQ(right_.IsLarge(), 0);
}

}  // namespace
