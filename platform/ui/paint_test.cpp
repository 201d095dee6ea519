#include <gtest/gtest.h>

#include "platform/ui/test_support.h"

namespace platform::ui {
namespace {

using test::Log;
using test::MakeWindow;

// Stands in for the drawing layer: hands out numbered contexts and remembers their targets.
class RecordingProvider : public DcProvider {
 public:
  HDC Acquire(const DcTarget& target) override {
    targets.push_back(target);
    ++open;
    return reinterpret_cast<HDC>(static_cast<uintptr_t>(targets.size()));
  }
  void Release(HDC) override { --open; }
  void FillBackground(HDC, const RECT& rect, HBRUSH) override { fills.push_back(rect); }
  std::vector<DcTarget> targets;
  std::vector<RECT> fills;
  int open = 0;
};

class PaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDcProvider(&provider_);
    top_ = MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 100, 100, 200, 200, nullptr);
    test::Drain();
    Log().Clear();
  }
  void TearDown() override {
    DestroyWindow(top_);
    test::Drain();
    SetDcProvider(nullptr);
    Log().Clear();
  }
  RecordingProvider provider_;
  HWND top_;
};

TEST_F(PaintTest, InvalidationGivesOnePaintWithFrameAndEraseInOrder) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 50, 50, top_);
  test::Drain();
  Log().Clear();
  RECT part{5, 5, 15, 15};
  InvalidateRect(child, &part, TRUE);
  InvalidateRect(child, &part, TRUE);  // accumulates: still one paint
  RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
  test::Drain();
  EXPECT_EQ(Log().Messages(child, {WM_PAINT, WM_NCPAINT, WM_ERASEBKGND}),
            (std::vector<UINT>{WM_PAINT, WM_NCPAINT, WM_ERASEBKGND}));
  Log().Clear();
  test::Drain();
  EXPECT_TRUE(Log().Messages(child, {WM_PAINT}).empty());  // validated by the default paint
  EXPECT_EQ(provider_.open, 0);
}

TEST_F(PaintTest, PaintComesAfterPostedMessagesAndUpdateWindowPaintsAtOnce) {
  InvalidateRect(top_, nullptr, FALSE);
  PostMessageA(top_, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_PAINT);
  UpdateWindow(top_);
  EXPECT_EQ(Log().Messages(top_, {WM_PAINT}).size(), 1u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(PaintTest, BeginPaintClipsToTheUpdateInScreenCoordinates) {
  ValidateRect(top_, nullptr);
  RECT part{10, 20, 30, 40};
  InvalidateRect(top_, &part, FALSE);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(top_, &ps);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(ps.rcPaint.left, 10);
  EXPECT_EQ(ps.rcPaint.bottom, 40);
  EXPECT_FALSE(ps.fErase);
  const DcTarget& t = provider_.targets.back();
  EXPECT_EQ(t.window, top_);
  EXPECT_EQ(t.origin.x, 100);
  EXPECT_EQ(t.clip.Area(), 20 * 20);
  EXPECT_TRUE(t.clip.Contains(110, 120));
  EXPECT_FALSE(t.clip.Contains(109, 120));
  EndPaint(top_, &ps);
  EXPECT_EQ(provider_.open, 0);
  RECT r;
  EXPECT_FALSE(GetUpdateRect(top_, &r, FALSE));
}

TEST_F(PaintTest, DefaultEraseFillsWithTheClassBrush) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(6));
  wc.lpszClassName = "Brushed";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "Brushed", "", WS_CHILD | WS_VISIBLE, 0, 0, 30, 20, top_, nullptr,
                           nullptr, nullptr);
  test::Drain();
  ASSERT_FALSE(provider_.fills.empty());
  EXPECT_EQ(provider_.fills.back().right, 30);
  EXPECT_EQ(provider_.fills.back().bottom, 20);
  DestroyWindow(w);
}

TEST_F(PaintTest, VisibleRegionIsCutByParentAndSiblingsAbove) {
  // Two overlapping children; the first created lies on top.
  HWND above = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, top_);
  HWND below = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 50, 50, 200, 200, top_);
  Region r = VisibleRegion(below, DcArea::kClient, false);
  // 200x200 clipped by the parent to 150x150, less the 50x50 corner under `above`.
  EXPECT_EQ(r.Area(), 150 * 150 - 50 * 50);
  EXPECT_FALSE(r.Contains(160, 160));
  EXPECT_TRUE(r.Contains(210, 160));
  EXPECT_EQ(VisibleRegion(above, DcArea::kClient, false).Area(), 100 * 100);
  ShowWindow(above, SW_HIDE);
  EXPECT_EQ(VisibleRegion(below, DcArea::kClient, false).Area(), 150 * 150);
  EXPECT_TRUE(VisibleRegion(above, DcArea::kClient, false).IsEmpty());
  // With its children cut out, the parent keeps what they do not cover.
  EXPECT_EQ(VisibleRegion(top_, DcArea::kClient, true).Area(), 200 * 200 - 150 * 150);
  // A top-level window above takes its share too.
  HWND cover = MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 0, 0, 175, 175, nullptr);
  EXPECT_EQ(VisibleRegion(below, DcArea::kClient, false).Area(), 150 * 150 - 25 * 25);
  DestroyWindow(cover);
  ShowWindow(top_, SW_HIDE);
  EXPECT_TRUE(VisibleRegion(below, DcArea::kClient, false).IsEmpty());
}

TEST_F(PaintTest, MovingAChildExposesWhatItCoveredInTheParent) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, top_);
  test::Drain();
  ValidateRect(top_, nullptr);
  MoveWindow(child, 100, 100, 50, 50, TRUE);
  RECT r;
  ASSERT_TRUE(GetUpdateRect(top_, &r, FALSE));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 50);
  EXPECT_EQ(r.bottom, 50);
  ASSERT_TRUE(GetUpdateRect(child, &r, FALSE));
  EXPECT_EQ(r.right, 50);
  // Hiding exposes too.
  test::Drain();
  ShowWindow(child, SW_HIDE);
  ASSERT_TRUE(GetUpdateRect(top_, &r, FALSE));
  EXPECT_EQ(r.left, 100);
  // A hidden window is never asked to paint.
  InvalidateRect(child, nullptr, TRUE);
  test::Drain();
  Log().Clear();
  test::Drain();
  EXPECT_TRUE(Log().Messages(child, {WM_PAINT}).empty());
}

TEST_F(PaintTest, APopupHiddenOrDestroyedRepaintsWhatWasBeneathIt) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, top_);
  RECT top_rect;
  GetWindowRect(top_, &top_rect);
  for (bool destroy : {false, true}) {
    HWND popup = MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, top_rect.left + 20,
                            top_rect.top + 20, 50, 50, nullptr);
    test::Drain();
    ValidateRect(child, nullptr);
    if (destroy) {
      DestroyWindow(popup);
    } else {
      ShowWindow(popup, SW_HIDE);
    }
    RECT r;
    ASSERT_TRUE(GetUpdateRect(child, &r, FALSE)) << destroy;
    EXPECT_EQ(r.right - r.left, 50);
    if (!destroy) DestroyWindow(popup);
  }
}

TEST_F(PaintTest, ParentInvalidationReachesChildrenUnlessClipChildren) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, top_);
  test::Drain();
  InvalidateRect(top_, nullptr, TRUE);
  RECT r;
  EXPECT_TRUE(GetUpdateRect(child, &r, FALSE));
  test::Drain();
  SetWindowLongPtrA(top_, GWL_STYLE, GetWindowLongPtrA(top_, GWL_STYLE) | WS_CLIPCHILDREN);
  InvalidateRect(top_, nullptr, TRUE);
  EXPECT_FALSE(GetUpdateRect(child, &r, FALSE));
}

}  // namespace
}  // namespace platform::ui
