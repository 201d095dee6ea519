// The widgets on the x11 backend under a private Xvfb: what the server shows is the panel,
// and a click the X server makes on a PTZ button reaches it as press and release.
#include <gtest/gtest.h>

#include <chrono>

#include "device/widgets/widget_panel.h"
#include "device/widgets/widget_theme.h"
#include "platform/display/display.h"
#include "platform/display/x11_peer.h"
#include "platform/display/xvfb_server.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"

namespace device::widgets {
namespace {

constexpr char kTitle[] = "orvix widgets x11 test";

// Reads this thread's messages until `done` or five seconds passed.
template <class Done>
bool PumpUntil(Done done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
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

TEST(WidgetsX11, PanelShowsAndAServerClickOnAPtzButtonPressesAndReleasesIt) {
  platform::display::XvfbServer server(640, 600);
  ASSERT_TRUE(server.running()) << server.error();
  platform::display::DisplayOptions options;
  options.backend = "x11";
  options.x11_display = server.name();
  options.width = 200;
  options.height = 560;
  options.title = kTitle;
  std::string error;
  auto display = platform::display::Display::Create(options, &error);
  ASSERT_NE(display, nullptr) << error;
  platform::gdi::InstallDcProvider();
  auto peer = platform::display::X11Peer::Open(server.name());
  ASSERT_NE(peer, nullptr);

  SamplePanel panel;
  ASSERT_TRUE(panel.Create(10, 10));
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  ASSERT_TRUE(display->Present());
  uint64_t window = peer->FindWindow(kTitle);
  ASSERT_NE(window, 0u);

  // The panel's background and a PTZ button's rim, as the X server shows them.
  std::vector<uint32_t> pixels = peer->ReadPixels(window, 200, 560);
  ASSERT_EQ(pixels.size(), 200u * 560u);
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * 200 + x]; };
  EXPECT_EQ(at(12, 560 - 40), 0x203040u);  // RGB(32, 48, 64)
  EXPECT_NE(at(10 + 43 + 15, 10 + 6 + 1), 0x203040u);

  peer->Click(window, 10 + 43 + 15, 10 + 6 + 15, 1);  // "up", ID 1016
  ASSERT_TRUE(PumpUntil([&] { return !panel.Events(kMsgPtzRelease).empty(); }));
  ASSERT_EQ(panel.Events(kMsgPtzPress).size(), 1u);
  EXPECT_EQ(panel.Events(kMsgPtzPress)[0].wparam, 1016u);
  EXPECT_EQ(panel.Events(kMsgPtzRelease)[0].wparam, 1016u);
}

}  // namespace
}  // namespace device::widgets
