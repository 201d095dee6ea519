#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/test_support.h"

namespace {

using platform::display::Display;

// "宋体" and "中文测试" in GBK, as the program's own texts arrive.
const char kSong[] = "\xCB\xCE\xCC\xE5";
const char kChinese[] = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = Display::CreateHeadless(400, 200, &error);
    ASSERT_NE(display_, nullptr) << error;
    Clear(0x000000);
    window_ =
        platform::ui::test::MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 0, 0, 400, 200, nullptr);
  }
  void TearDown() override {
    // Set ORVIX_TEXT_PNG to a file name to look at what the last test drew.
    if (const char* png = std::getenv("ORVIX_TEXT_PNG")) {
      std::string error;
      display_->Screenshot(png, &error);
    }
    DestroyWindow(window_);
    platform::ui::test::Drain();
  }
  void Clear(uint32_t xrgb) {
    auto& fb = display_->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    fb.Fill(RECT{0, 0, fb.width(), fb.height()}, xrgb);
  }
  // Pixels in `r` that differ from `background`, and their bounding box.
  int Ink(const RECT& r, uint32_t background, RECT* box = nullptr) {
    auto& fb = display_->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    int n = 0;
    RECT b{r.right, r.bottom, r.left, r.top};
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        if (fb.Pixel(x, y) == background) continue;
        ++n;
        b = RECT{std::min<LONG>(b.left, x), std::min<LONG>(b.top, y),
                 std::max<LONG>(b.right, x + 1), std::max<LONG>(b.bottom, y + 1)};
      }
    }
    if (box) *box = b;
    return n;
  }
  std::unique_ptr<Display> display_;
  HWND window_ = nullptr;
};

TEST_F(TextTest, GbkTextInTheSongFaceIsDrawnInsideItsMeasuredCell) {
  HDC dc = GetDC(window_);
  HFONT font = CreateFontA(13, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 32, kSong);
  SelectObject(dc, font);
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32A(dc, kChinese, 8, &size));
  EXPECT_EQ(size.cy, 13);
  EXPECT_GE(size.cx, 4 * 11);  // four full-width characters
  EXPECT_LE(size.cx, 4 * 15);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  ASSERT_TRUE(TextOutA(dc, 20, 30, kChinese, 8));
  RECT box;
  int ink = Ink(RECT{0, 0, 400, 200}, 0, &box);
  EXPECT_GT(ink, 60);
  EXPECT_GE(box.left, 20);
  EXPECT_GE(box.top, 30);
  EXPECT_LE(box.right, 20 + size.cx + 1);
  EXPECT_LE(box.bottom, 30 + size.cy);
  // Each character is a different picture: the four quarters of the cell differ in ink.
  int quarter = size.cx / 4;
  int q0 = Ink(RECT{20, 30, 20 + quarter, 43}, 0);
  int q1 = Ink(RECT{20 + quarter, 30, 20 + 2 * quarter, 43}, 0);
  EXPECT_GT(q0, 5);
  EXPECT_GT(q1, 5);
  EXPECT_NE(q0, q1);
  ReleaseDC(window_, dc);
  DeleteObject(font);
}

TEST_F(TextTest, OpaqueFillsTheCellTransparentKeepsTheBackground) {
  HDC dc = GetDC(window_);
  HFONT font = CreateFontA(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  SelectObject(dc, font);
  SIZE size;
  GetTextExtentPoint32A(dc, "Hi", 2, &size);
  SetBkColor(dc, RGB(0, 0, 255));
  SetTextColor(dc, RGB(255, 255, 0));
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, 10, 10, "Hi", 2);
  {
    auto& fb = display_->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    EXPECT_EQ(fb.Pixel(10, 10), 0x0000FFu);  // cell corner in the background colour
    EXPECT_EQ(fb.Pixel(10 + size.cx - 1, 10 + size.cy - 1), 0x0000FFu);
    EXPECT_EQ(fb.Pixel(10 + size.cx, 10), 0u);
  }
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  TextOutA(dc, 10, 60, "Hi", 2);
  RECT box;
  EXPECT_GT(Ink(RECT{0, 50, 400, 100}, 0, &box), 20);
  EXPECT_EQ(Ink(RECT{10, 60, 11, 61}, 0), 0);
  ReleaseDC(window_, dc);
  DeleteObject(font);
}

// 32-bit pixels take text straight on their words, others through their format's encoding:
// the same text over the same background gives the same colours in both, edges included.
TEST_F(TextTest, TextBlendsAlikeInEveryPixelFormat) {
  const int w = 120, h = 40;
  std::vector<std::vector<uint8_t>> pixels;
  for (const int bits : {32, 24}) {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{
        sizeof(BITMAPINFOHEADER), w, -h, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0, 0, 0};
    void* raw = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const long stride = ((static_cast<long>(w) * bits + 31) / 32) * 4;
    auto* bytes = static_cast<uint8_t*>(raw);
    for (int y = 0; y < h; ++y) {  // a background of every level, under the glyphs' edges
      for (int x = 0; x < w; ++x) {
        uint8_t* p = bytes + stride * y + x * (bits / 8);
        p[0] = static_cast<uint8_t>(x * 2);
        p[1] = static_cast<uint8_t>(y * 6);
        p[2] = static_cast<uint8_t>(255 - x * 2);
      }
    }
    HFONT font = CreateFontA(-18, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, kSong);
    HGDIOBJ old_font = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(250, 200, 20));
    TextOutA(dc, 4, 6, kChinese, 8);
    TextOutA(dc, 4, 22, "Wg 09", 5);
    std::vector<uint8_t> rgb;
    int inked = 0, edges = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = bytes + stride * y + x * (bits / 8);
        rgb.insert(rgb.end(), {p[0], p[1], p[2]});
        if (p[1] != static_cast<uint8_t>(y * 6)) ++inked;
        if (p[1] != static_cast<uint8_t>(y * 6) && p[1] != 200) ++edges;
      }
    }
    EXPECT_GT(inked, 100) << bits << " bits";
    EXPECT_GT(edges, 20) << bits << " bits";  // blended, not only solid, pixels
    pixels.push_back(rgb);
    SelectObject(dc, old_font);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  EXPECT_TRUE(pixels[0] == pixels[1]);
}

TEST_F(TextTest, TextIsClippedToTheWindow) {
  HWND small =
      platform::ui::test::MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 100, 100, 30, 20, nullptr);
  HDC dc = GetDC(small);
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 0, 0, "MMMMMMMMMMMMMMMM", 16);
  RECT box;
  EXPECT_GT(Ink(RECT{0, 0, 400, 200}, 0, &box), 10);
  EXPECT_GE(box.left, 100);
  EXPECT_LE(box.right, 130);
  EXPECT_LE(box.bottom, 120);
  ReleaseDC(small, dc);
  DestroyWindow(small);
}

TEST_F(TextTest, DrawTextCentresMeasuresAndWraps) {
  HDC dc = GetDC(window_);
  HFONT font = CreateFontA(15, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 32, kSong);
  SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0xE1, 0xE1, 0xE1));
  RECT calc{0, 0, 0, 0};
  EXPECT_EQ(DrawTextA(dc, "Channel 1", -1, &calc, DT_CALCRECT | DT_SINGLELINE), 15);
  SIZE size;
  GetTextExtentPoint32A(dc, "Channel 1", 9, &size);
  EXPECT_EQ(calc.right, size.cx);
  RECT area{100, 50, 300, 150};
  DrawTextA(dc, "Channel 1", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  RECT box;
  ASSERT_GT(Ink(RECT{0, 0, 400, 200}, 0, &box), 20);
  EXPECT_NEAR((box.left + box.right) / 2.0, 200, 3);
  EXPECT_NEAR((box.top + box.bottom) / 2.0, 100, 5);
  RECT wrap{0, 0, 60, 0};
  int h = DrawTextA(dc, "one two three four", -1, &wrap, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GE(h, 30);  // more than one line
  EXPECT_LE(wrap.right, 60);
  ReleaseDC(window_, dc);
  DeleteObject(font);
}

TEST_F(TextTest, BrokenGbkBytesAreDrawnAsQuestionMarks) {
  HDC dc = GetDC(window_);
  SIZE bad, marks;
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "\xFF\xFF", 2, &bad));
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "??", 2, &marks));
  EXPECT_EQ(bad.cx, marks.cx);
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "\xD6", 1, &bad));  // cut in the middle
  EXPECT_GT(bad.cx, 0);
  EXPECT_FALSE(TextOutA(dc, 0, 0, nullptr, 3));
  ReleaseDC(window_, dc);
}

}  // namespace
