#include "platform/vfw/drawdib.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/display/display.h"
#include "platform/ui/test_support.h"

namespace {

using platform::display::Display;

class DrawDibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = Display::CreateHeadless(200, 100, &error);
    ASSERT_NE(display_, nullptr) << error;
    window_ =
        platform::ui::test::MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 10, 10, 80, 40, nullptr);
    // A 4 x 2 picture, stored bottom-up: top row red, green; bottom row blue, white.
    header_ = BITMAPINFOHEADER{40, 4, 2, 1, 24, BI_RGB, 4 * 2 * 3, 0, 0, 0, 0};
    bits_.assign(24, 0);
    auto put = [&](int stored_row, int x, uint8_t b, uint8_t g, uint8_t r) {
      uint8_t* p = &bits_[stored_row * 12 + x * 3];
      p[0] = b, p[1] = g, p[2] = r;
    };
    for (int x = 0; x < 2; ++x) put(1, x, 0, 0, 255), put(0, x, 255, 0, 0);
    for (int x = 2; x < 4; ++x) put(1, x, 0, 255, 0), put(0, x, 255, 255, 255);
  }
  void TearDown() override {
    DestroyWindow(window_);
    platform::ui::test::Drain();
  }
  uint32_t At(int x, int y) {
    std::lock_guard<std::mutex> lock(display_->framebuffer().mutex());
    return display_->framebuffer().Pixel(x, y);
  }
  std::unique_ptr<Display> display_;
  HWND window_;
  BITMAPINFOHEADER header_;
  std::vector<uint8_t> bits_;
};

TEST_F(DrawDibTest, BottomUpPicturesAreStretchedUprightIntoTheDestination) {
  HDRAWDIB dd = DrawDibOpen();
  HDC dc = GetDC(window_);
  ASSERT_TRUE(DrawDibBegin(dd, dc, 40, 20, &header_, 4, 2, DDF_SAME_HDC));
  ASSERT_TRUE(DrawDibDraw(dd, dc, 2, 3, 40, 20, &header_, bits_.data(), 0, 0, 4, 2,
                          DDF_SAME_HDC | DDF_SAME_DRAW));
  EXPECT_TRUE(DrawDibEnd(dd));
  EXPECT_EQ(At(12, 13), 0xFF0000u);  // top-left quarter red
  EXPECT_EQ(At(31, 22), 0xFF0000u);
  EXPECT_EQ(At(32, 13), 0x00FF00u);
  EXPECT_EQ(At(12, 23), 0x0000FFu);
  EXPECT_EQ(At(51, 32), 0xFFFFFFu);
  EXPECT_EQ(At(52, 32), 0u);
  EXPECT_EQ(At(12, 33), 0u);
  // A source rectangle counted from the picture's top: the bottom-right pixel alone.
  ASSERT_TRUE(DrawDibDraw(dd, dc, 60, 0, 10, 10, &header_, bits_.data(), 3, 1, 1, 1, 0));
  EXPECT_EQ(At(75, 15), 0xFFFFFFu);
  // Drawing past the window's edge stops at it.
  ASSERT_TRUE(DrawDibDraw(dd, dc, 70, 30, 40, 40, &header_, bits_.data(), 0, 0, 4, 2, 0));
  EXPECT_EQ(At(89, 49), 0xFF0000u);
  EXPECT_EQ(At(90, 49), 0u);
  EXPECT_EQ(At(89, 50), 0u);
  ReleaseDC(window_, dc);
  EXPECT_TRUE(DrawDibClose(dd));
}

TEST_F(DrawDibTest, RefusesWhatItCannotDraw) {
  HDRAWDIB dd = DrawDibOpen();
  HDC dc = GetDC(window_);
  EXPECT_FALSE(DrawDibDraw(nullptr, dc, 0, 0, 4, 2, &header_, bits_.data(), 0, 0, 4, 2, 0));
  EXPECT_FALSE(DrawDibDraw(dd, nullptr, 0, 0, 4, 2, &header_, bits_.data(), 0, 0, 4, 2, 0));
  EXPECT_FALSE(DrawDibDraw(dd, dc, 0, 0, 4, 2, nullptr, bits_.data(), 0, 0, 4, 2, 0));
  BITMAPINFOHEADER yuv = header_;
  yuv.biCompression = 0x32595559;  // a FourCC: not ours to draw
  EXPECT_FALSE(DrawDibBegin(dd, dc, 4, 2, &yuv, 4, 2, 0));
  EXPECT_FALSE(DrawDibDraw(dd, dc, 0, 0, 4, 2, &header_, bits_.data(), 0, 0, 5, 2, 0));
  EXPECT_FALSE(DrawDibClose(nullptr));
  ReleaseDC(window_, dc);
  DrawDibClose(dd);
}

}  // namespace
