#include "platform/display/display.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/display/png_image.h"
#include "platform/ui/ui.h"

namespace platform::display {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "display_test_XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (fs::path(path_) / name).string(); }

 private:
  std::string path_;
};

std::unique_ptr<Display> Headless(int w = 320, int h = 240) {
  std::string error;
  auto d = Display::CreateHeadless(w, h, &error);
  EXPECT_NE(d, nullptr) << error;
  return d;
}

TEST(Display, ScreenshotHoldsExactlyThePixelsDrawn) {
  TempDir dir;
  auto d = Headless(64, 48);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->backend(), "headless");
  {
    Framebuffer& fb = d->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    fb.Fill(RECT{0, 0, 64, 48}, 0x000000);
    fb.Fill(RECT{10, 5, 20, 15}, 0xFF0000);
    fb.Fill(RECT{60, 40, 100, 100}, 0x0080FF);  // clipped at the edge
    fb.pixels()[47 * 64 + 0] = 0x123456;
  }
  std::string error;
  ASSERT_TRUE(d->Screenshot(dir.File("shot.png"), &error)) << error;
  auto image = ReadPng(dir.File("shot.png"), &error);
  ASSERT_TRUE(image) << error;
  ASSERT_EQ(image->width, 64);
  ASSERT_EQ(image->height, 48);
  auto at = [&](int x, int y) { return image->pixels[static_cast<size_t>(y) * 64 + x]; };
  EXPECT_EQ(at(10, 5), 0xFF0000u);
  EXPECT_EQ(at(19, 14), 0xFF0000u);
  EXPECT_EQ(at(20, 14), 0u);
  EXPECT_EQ(at(9, 5), 0u);
  EXPECT_EQ(at(63, 47), 0x0080FFu);
  EXPECT_EQ(at(59, 47), 0u);
  EXPECT_EQ(at(0, 47), 0x123456u);
  EXPECT_FALSE(fs::exists(dir.File("shot.png.part")));
}

TEST(Display, ScreenshotAndReadFailuresAreReported) {
  TempDir dir;
  auto d = Headless();
  std::string error;
  EXPECT_FALSE(d->Screenshot(dir.File("no/such/dir/shot.png"), &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
  EXPECT_FALSE(ReadPng(dir.File("missing.png"), &error));
  { std::ofstream(dir.File("text.png")) << "not a picture"; }
  EXPECT_FALSE(ReadPng(dir.File("text.png"), &error));
  EXPECT_NE(error.find("not a PNG"), std::string::npos);
  // A real PNG cut short.
  ASSERT_TRUE(d->Screenshot(dir.File("whole.png"), &error));
  fs::resize_file(dir.File("whole.png"), fs::file_size(dir.File("whole.png")) / 2);
  EXPECT_FALSE(ReadPng(dir.File("whole.png"), &error));
  EXPECT_NE(error.find("damaged"), std::string::npos);
}

TEST(Display, CreationChecksItsOptionsAndAllowsOneAtATime) {
  std::string error;
  DisplayOptions options;
  options.backend = "wayland";
  EXPECT_EQ(Display::Create(options, &error), nullptr);
  EXPECT_NE(error.find("unknown display backend"), std::string::npos);
  options.backend = "headless";
  options.width = 0;
  EXPECT_EQ(Display::Create(options, &error), nullptr);
  options.width = 800;
  options.height = 600;
  auto first = Display::Create(options, &error);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Display::Current(), first.get());
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  EXPECT_EQ(Display::Create(options, &error), nullptr);
  EXPECT_NE(error.find("already"), std::string::npos);
  first.reset();
  EXPECT_EQ(Display::Current(), nullptr);
  options.backend = "x11";
  options.x11_display = ":999";  // nothing listens there
  EXPECT_EQ(Display::Create(options, &error), nullptr);
  EXPECT_NE(error.find("x11"), std::string::npos);
}

TEST(Display, AutoPicksHeadlessWithoutAnXDisplay) {
  const char* saved = getenv("DISPLAY");
  std::string keep = saved ? saved : "";
  unsetenv("DISPLAY");
  std::string error;
  auto d = Display::Create(DisplayOptions{}, &error);
  ASSERT_NE(d, nullptr) << error;
  EXPECT_STREQ(d->backend(), "headless");
  if (saved) setenv("DISPLAY", keep.c_str(), 1);
}

std::vector<UINT> g_seen;
LRESULT Remember(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message >= WM_LBUTTONDOWN && message <= WM_RBUTTONDBLCLK) g_seen.push_back(message);
  return DefWindowProcA(window, message, wparam, lparam);
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

TEST(InputInjector, GesturesArriveAsAPersonsWould) {
  auto d = Headless();
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = Remember;
  wc.lpszClassName = "InjectorTarget";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "InjectorTarget", "", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100,
                           nullptr, nullptr, nullptr, nullptr);
  g_seen.clear();
  d->input().DoubleClick(50, 50);
  d->input().RightDoubleClick(50, 50);
  d->input().Click(50, 50);
  d->input().Wait(1000);
  d->input().Click(50, 50);
  Pump();
  std::vector<UINT> expected{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                             WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_RBUTTONUP,
                             WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN,   WM_LBUTTONUP};
  EXPECT_EQ(g_seen, expected);
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 50);
  DestroyWindow(w);
  Pump();
}

}  // namespace
}  // namespace platform::display
