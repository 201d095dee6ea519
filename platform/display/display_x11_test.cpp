// The x11 backend against a private Xvfb: the window appears with the framebuffer's picture,
// and clicks and keys made by the X server reach the right window of the window system.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/display/display.h"
#include "platform/display/x11_peer.h"
#include "platform/display/xvfb_server.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/ui.h"

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
    peer_ = X11Peer::Open(server_->name());
    ASSERT_NE(peer_, nullptr);
  }
  void TearDown() override {
    peer_.reset();
    display_.reset();
    server_.reset();
  }

  std::unique_ptr<XvfbServer> server_;
  std::unique_ptr<Display> display_;
  std::unique_ptr<X11Peer> peer_;
};

TEST_F(X11Test, WindowAppearsAndShowsTheFramebuffer) {
  {
    Framebuffer& fb = display_->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    fb.Fill(RECT{0, 0, 320, 240}, 0x000040);
    fb.Fill(RECT{100, 50, 150, 90}, 0x00FF7F);
  }
  ASSERT_TRUE(display_->Present());
  uint64_t w = peer_->FindWindow(kTitle);
  ASSERT_NE(w, 0u);
  X11Peer::WindowState state;
  ASSERT_TRUE(peer_->GetWindowState(w, &state));
  EXPECT_EQ(state.width, 320);
  EXPECT_EQ(state.height, 240);
  EXPECT_TRUE(state.viewable);
  std::vector<uint32_t> pixels = peer_->ReadPixels(w, 320, 240);
  ASSERT_EQ(pixels.size(), 320u * 240u);
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * 320 + x]; };
  EXPECT_EQ(at(120, 60), 0x00FF7Fu);
  EXPECT_EQ(at(99, 60), 0x000040u);
  EXPECT_EQ(at(150, 89), 0x000040u);
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
  uint64_t w = peer_->FindWindow(kTitle);
  ASSERT_NE(w, 0u);
  g_seen.clear();
  peer_->Click(w, 200, 100, 1);
  peer_->TypeChar('a');
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
