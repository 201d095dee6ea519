// What a video window looks like: the title strip with its bitmaps and text, the buttons'
// normal and hot images, the background and the focus frames.
#include <gtest/gtest.h>

#include "videolib/resource_bitmaps.h"
#include "videolib/video_wnd.h"
#include "videolib/videownd_test_support.h"

namespace {

using videownd_test::ClientOnScreen;
using videownd_test::Desktop;
using videownd_test::ParentWindow;
using videownd_test::Xrgb;

// Pixel (x, y) of one of our 24-bit bottom-up resource bitmaps, as 0x00RRGGBB.
uint32_t BitmapPixel(int id, int x, int y) {
  auto file = videolib::ResourceBitmapFile(id);
  const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(file.data() + 14);
  size_t stride = (static_cast<size_t>(info->biWidth) * 3 + 3) & ~size_t{3};
  const uint8_t* p = file.data() + 54 + stride * (info->biHeight - 1 - y) + x * 3;
  return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

class VideoWndPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    video_.Init(nullptr, 0);
    ASSERT_TRUE(video_.CreateWnd(RECT{20, 20, 372, 308}, parent_.hwnd(), 0));
    desktop_.Drain();
    client_ = ClientOnScreen(video_.m_hWnd);
  }
  uint32_t At(int x, int y) { return desktop_.Pixel(client_.left + x, client_.top + y); }
  int Width() const { return client_.right - client_.left; }
  // Misses of the 20 x 20 block at client (x, 0) against bitmap `id` from column `src_x`.
  int BlockMisses(int x, int id, int src_x) {
    int misses = 0;
    for (int y = 1; y < 19; ++y) {
      for (int i = 1; i < 19; ++i) misses += At(x + i, y) == BitmapPixel(id, src_x + i, y) ? 0 : 1;
    }
    return misses;
  }

  Desktop desktop_;
  ParentWindow parent_{0, 0, 800, 600};
  CVideoWnd video_;
  RECT client_{};
};

TEST_F(VideoWndPaintTest, WithoutTitleTheClientAreaIsTheVideoColour) {
  uint32_t video = Xrgb(CVideoWnd::GetVideoWinColor());
  EXPECT_EQ(At(0, 0), video);
  EXPECT_EQ(At(Width() / 2, 10), video);
  EXPECT_EQ(At(Width() - 1, 100), video);
}

TEST_F(VideoWndPaintTest, TitleStripCarriesItsBitmapTextAndButtons) {
  video_.EnableTitle(1);
  video_.UpdateTitle("CH1 Gate");
  video_.CreateOptionBtn();
  desktop_.Drain();
  // The strip background, stretched across the width (its rows are uniform).
  EXPECT_EQ(At(Width() / 2, 2), BitmapPixel(4002, 50, 2));
  EXPECT_EQ(At(Width() - 60, 17), BitmapPixel(4002, 50, 17));
  // White text at (2, 3).
  int white = 0;
  for (int y = 3; y < 18; ++y) {
    for (int x = 2; x < 70; ++x) white += At(x, y) == 0xFFFFFFu ? 1 : 0;
  }
  EXPECT_GT(white, 20);
  EXPECT_EQ(BlockMisses(Width() - 40, 4000, 0), 0);
#if VIDEOLIB_GDI_TEXT
  EXPECT_EQ(At(Width() - 10, 10), BitmapPixel(4002, 50, 10));  // the second is not drawn
#else
  EXPECT_EQ(BlockMisses(Width() - 20, 4001, 0), 0);
#endif
  EXPECT_EQ(At(Width() / 2, 25), Xrgb(CVideoWnd::GetVideoWinColor()));

  // A hot button shows the right half of its bitmap.
  desktop_.input().MoveTo(client_.right - 30, client_.top + 10);
  desktop_.Drain();
  EXPECT_EQ(BlockMisses(Width() - 40, 4000, 20), 0);
  video_.DistroyOptionBtn();
  desktop_.Drain();
  EXPECT_EQ(At(10, 10), BitmapPixel(4002, 10, 10));  // no text without the buttons
  EXPECT_EQ(At(Width() - 30, 10), BitmapPixel(4002, 10, 10));
}

TEST_F(VideoWndPaintTest, FocusIsFramedInTheFocusColourAndTakenAway) {
  RECT w;
  GetWindowRect(video_.m_hWnd, &w);
  uint32_t focus = Xrgb(CVideoWnd::GetFocusWinColor());
  uint32_t video = Xrgb(CVideoWnd::GetVideoWinColor());
  desktop_.input().Click(client_.left + 50, client_.top + 50);
  desktop_.Drain();
  EXPECT_EQ(video_.m_bFocused, 1);
  EXPECT_EQ(desktop_.Pixel(w.left, w.top + 40), focus);
  EXPECT_EQ(desktop_.Pixel(w.left + 1, w.top + 40), focus);
  EXPECT_EQ(desktop_.Pixel(w.right - 2, w.bottom - 2), focus);
  InvalidateRect(video_.m_hWnd, nullptr, TRUE);
  desktop_.Drain();
  EXPECT_EQ(At(0, 40), focus);
  EXPECT_EQ(At(Width() - 1, 40), focus);
  video_.KillWindowFocus();
  EXPECT_EQ(video_.m_bFocused, 0);
  EXPECT_EQ(desktop_.Pixel(w.left, w.top + 40), video);
  EXPECT_EQ(desktop_.Pixel(w.left + 1, w.top + 40), video);
}

#if VIDEOLIB_GDI_TEXT
TEST_F(VideoWndPaintTest, FramesAreLeftOutWhileFocusFramesAreDisabled) {
  RECT w;
  GetWindowRect(video_.m_hWnd, &w);
  uint32_t before = desktop_.Pixel(w.left, w.top + 40);
  EXPECT_EQ(video_.GetFocusEn(), 1);
  video_.SetFocusEn(0);
  desktop_.input().Click(client_.left + 50, client_.top + 50);
  InvalidateRect(video_.m_hWnd, nullptr, TRUE);
  desktop_.Drain();
  EXPECT_EQ(video_.m_bFocused, 1);
  EXPECT_EQ(desktop_.Pixel(w.left, w.top + 40), before);
  EXPECT_NE(desktop_.Pixel(w.left + 1, w.top + 40), Xrgb(CVideoWnd::GetFocusWinColor()));
  EXPECT_NE(At(0, 40), Xrgb(CVideoWnd::GetFocusWinColor()));
}
#endif

}  // namespace
