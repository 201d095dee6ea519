#include "videolib/video_wnd.h"

#include <gtest/gtest.h>

#include "videolib/videownd_test_support.h"

namespace {

using videownd_test::ClientOnScreen;
using videownd_test::Desktop;
using videownd_test::ParentMessage;
using videownd_test::ParentWindow;
using videownd_test::Xrgb;

constexpr UINT kClick = 1224;
constexpr UINT kSelect = 1225;
constexpr int kChannel = 3;
constexpr WPARAM W(intptr_t v) { return static_cast<WPARAM>(v); }

// Reports presses as a channel does: the window itself reports nothing for them.
class ChannelWnd : public CVideoWnd {
 public:
  void OnSetCurrent(int current) override {
    SendToParent(GetSelectMessage(), static_cast<WPARAM>(m_nChannel), current);
  }
};

class VideoWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CVideoWnd::m_bFull = 0;
    video_.Init(nullptr, kChannel);
    ASSERT_TRUE(video_.CreateWnd(kGrid, parent_.hwnd(), 2));
    desktop_.Drain();
    parent_.Take();
  }

  POINT Center() {
    RECT r;
    GetWindowRect(video_.m_hWnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  // A point of the client area, in screen coordinates.
  POINT At(int x, int y) {
    RECT c = ClientOnScreen(video_.m_hWnd);
    return POINT{c.left + x, c.top + y};
  }
  void ShowButtons() {
    video_.EnableTitle(1);
    video_.CreateOptionBtn();
    desktop_.Drain();
  }

  static constexpr RECT kGrid{10, 10, 362, 298};
  static constexpr RECT kLarge{0, 0, 704, 576};
  Desktop desktop_;
  ParentWindow parent_{0, 0, 800, 600};
  ChannelWnd video_;
};

TEST_F(VideoWndTest, CreatedAsANotifyingStaticChildWithItsIdAndStyles) {
  HWND hwnd = video_.m_hWnd;
  EXPECT_EQ(GetParent(hwnd), parent_.hwnd());
  EXPECT_EQ(GetDlgCtrlID(hwnd), 5002);
  LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_BORDER | SS_NOTIFY),
            static_cast<LONG>(WS_CHILD | WS_VISIBLE | WS_BORDER | SS_NOTIFY));
  LONG ex = GetWindowLongA(hwnd, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_NOPARENTNOTIFY);
  EXPECT_EQ((ex & WS_EX_STATICEDGE) != 0, VIDEOLIB_GDI_TEXT == 1);
  RECT r;
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right - r.left, 352);
  RECT normal = video_.GetNormalRect();
  EXPECT_EQ(normal.right, 362);
  EXPECT_EQ(video_.IsVisible(), 1);
  EXPECT_EQ(video_.IsLarge(), 0);
  EXPECT_EQ(video_.m_bFocused, 0);
}

TEST_F(VideoWndTest, DoubleClickEnlargesAndASecondReturnsToTheGrid) {
  parent_.ArrangeOnClick(&video_, kLarge);
  POINT p = Center();
  desktop_.input().DoubleClick(p.x, p.y);
  desktop_.Drain();
  std::vector<ParentMessage> enlarge{
      {kSelect, W(kChannel), 0}, {kClick, W(-1), 0}, {kClick, W(kChannel), 1}};
  EXPECT_EQ(parent_.Take(), enlarge);
  EXPECT_EQ(video_.IsLarge(), 1);
  RECT r;
  GetWindowRect(video_.m_hWnd, &r);
  EXPECT_EQ(r.right - r.left, 704);
  RECT normal = video_.GetNormalRect();
  EXPECT_EQ(normal.left, kGrid.left);
  EXPECT_EQ(normal.bottom, kGrid.bottom);

  p = Center();
  desktop_.input().DoubleClick(p.x, p.y);
  desktop_.Drain();
  std::vector<ParentMessage> back{
      {kSelect, W(kChannel), 0}, {kClick, W(-2), 0}, {kClick, W(-1), 1}};
  EXPECT_EQ(parent_.Take(), back);
  EXPECT_EQ(video_.IsLarge(), 0);
  GetWindowRect(video_.m_hWnd, &r);
  EXPECT_EQ(r.left, kGrid.left);
  EXPECT_EQ(r.right, kGrid.right);
}

TEST_F(VideoWndTest, TwoSeparateClicksAreNoDoubleClick) {
  POINT p = Center();
  desktop_.input().Click(p.x, p.y);
  desktop_.input().Wait(1000);
  desktop_.input().Click(p.x, p.y);
  desktop_.Drain();
  std::vector<ParentMessage> two{{kSelect, W(kChannel), 0}, {kSelect, W(kChannel), 0}};
  EXPECT_EQ(parent_.Take(), two);
  EXPECT_EQ(video_.IsLarge(), 0);
}

TEST_F(VideoWndTest, APlainVideoWindowLeavesSelectionToItsChannel) {
  CVideoWnd plain;
  plain.Init(nullptr, 5);
  ASSERT_TRUE(plain.CreateWnd(RECT{400, 10, 752, 298}, parent_.hwnd(), 5));
  desktop_.input().Click(500, 100);
  desktop_.input().Wait(1000);
  desktop_.input().RightClick(500, 100);
  desktop_.Drain();
  EXPECT_TRUE(parent_.Take().empty());
  EXPECT_EQ(plain.m_bFocused, 1);
  EXPECT_EQ(video_.m_bFocused, 0);
}

TEST_F(VideoWndTest, RightDoubleClickTogglesFullScreen) {
  POINT p = Center();
  desktop_.input().RightDoubleClick(p.x, p.y);
  desktop_.Drain();
  std::vector<ParentMessage> full{{kSelect, W(kChannel), 1}, {kClick, W(-3), 1}};
  EXPECT_EQ(parent_.Take(), full);
  EXPECT_EQ(CVideoWnd::m_bFull, 1);
  desktop_.input().RightDoubleClick(p.x, p.y);
  desktop_.Drain();
  std::vector<ParentMessage> back{{kSelect, W(kChannel), 1}, {kClick, W(-3), 0}};
  EXPECT_EQ(parent_.Take(), back);
  EXPECT_EQ(CVideoWnd::m_bFull, 0);
  EXPECT_EQ(video_.IsLarge(), 0);
}

TEST_F(VideoWndTest, LeftDClickTogglesWithoutAClick) {
  video_.LeftDClick();
  video_.LeftDClick();
  std::vector<ParentMessage> both{
      {kClick, W(-1), 0}, {kClick, W(kChannel), 1}, {kClick, W(-2), 0}, {kClick, W(-1), 1}};
  EXPECT_EQ(parent_.Take(), both);
}

TEST_F(VideoWndTest, MoveVideoWhileEnlargedKeepsTheNormalRectangle) {
  video_.LeftDClick();
  video_.MoveVideo(kLarge);
  video_.MoveVideo(RECT{5, 5, 405, 305});
  RECT normal = video_.GetNormalRect();
  EXPECT_EQ(normal.left, kGrid.left);
  EXPECT_EQ(normal.right, kGrid.right);
  RECT r;
  GetWindowRect(video_.m_hWnd, &r);
  EXPECT_EQ(r.left, 5);
  video_.LeftDClick();
  video_.MoveVideo(RECT{20, 30, 200, 130});
  normal = video_.GetNormalRect();
  EXPECT_EQ(normal.left, 20);
  EXPECT_EQ(normal.bottom, 130);
}

TEST_F(VideoWndTest, OptionButtonsSendSelectTwoAndThree) {
  ShowButtons();
  RECT c;
  GetClientRect(video_.m_hWnd, &c);
  POINT first = At(c.right - 30, 10);
  POINT second = At(c.right - 10, 10);
  desktop_.input().Click(first.x, first.y);
  desktop_.input().Wait(1000);
  desktop_.input().Click(second.x, second.y);
  desktop_.Drain();
  std::vector<ParentMessage> sent{{kSelect, W(kChannel), 0},
                                  {kSelect, W(kChannel), 2},
                                  {kSelect, W(kChannel), 0},
                                  {kSelect, W(kChannel), 3}};
  EXPECT_EQ(parent_.Take(), sent);
  EXPECT_EQ(video_.BtnHot(), 0);
}

TEST_F(VideoWndTest, ButtonsReactOnlyInsideAndWhileShown) {
  ShowButtons();
  RECT c;
  GetClientRect(video_.m_hWnd, &c);
  POINT edge = At(c.right - 40, 10);  // on the first button's left edge: not strictly inside
  POINT picture = At(c.right - 30, 40);
  desktop_.input().Click(edge.x, edge.y);
  desktop_.input().Wait(1000);
  desktop_.input().Click(picture.x, picture.y);
  desktop_.input().Wait(1000);
  video_.DistroyOptionBtn();
  desktop_.Drain();
  POINT first = At(c.right - 30, 10);
  desktop_.input().Click(first.x, first.y);
  desktop_.Drain();
  std::vector<ParentMessage> only_selects(3, ParentMessage{kSelect, W(kChannel), 0});
  EXPECT_EQ(parent_.Take(), only_selects);
}

TEST_F(VideoWndTest, HoverMakesAButtonHotWithTheHandAndLeavingClearsIt) {
  ShowButtons();
  RECT c;
  GetClientRect(video_.m_hWnd, &c);
  POINT first = At(c.right - 30, 10);
  desktop_.input().MoveTo(first.x, first.y);
  desktop_.Drain();
  EXPECT_EQ(video_.BtnHot(), 1);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
  POINT second = At(c.right - 10, 10);
  desktop_.input().MoveTo(second.x, second.y);
  desktop_.Drain();
  EXPECT_EQ(video_.BtnHot(), 2);
  POINT picture = At(50, 100);
  desktop_.input().MoveTo(picture.x, picture.y);
  desktop_.Drain();
  EXPECT_EQ(video_.BtnHot(), 0);
}

TEST_F(VideoWndTest, TimerClearsAHotButtonOnceTheCursorHasLeftTheWindow) {
  ShowButtons();
  RECT c;
  GetClientRect(video_.m_hWnd, &c);
  POINT first = At(c.right - 30, 10);
  desktop_.input().MoveTo(first.x, first.y);
  desktop_.Drain();
  ASSERT_EQ(video_.BtnHot(), 1);
  // The cursor leaves over the parent: the video window is told nothing.
  desktop_.input().MoveTo(600, 500);
  desktop_.Drain();
  EXPECT_EQ(video_.BtnHot(), 1);
  SendMessageA(video_.m_hWnd, WM_TIMER, 11, 0);
  EXPECT_EQ(video_.BtnHot(), 1);
  SendMessageA(video_.m_hWnd, WM_TIMER, CVideoWnd::kHotTimer, 0);
  EXPECT_EQ(video_.BtnHot(), 0);
}

TEST_F(VideoWndTest, AHotButtonStaysHotWhileTheCursorIsOnItAtTheTimer) {
  ShowButtons();
  RECT c;
  GetClientRect(video_.m_hWnd, &c);
  POINT first = At(c.right - 30, 10);
  desktop_.input().MoveTo(first.x, first.y);
  desktop_.Drain();
  ASSERT_EQ(video_.BtnHot(), 1);
  SendMessageA(video_.m_hWnd, WM_TIMER, CVideoWnd::kHotTimer, 0);
  // The cursor is measured from the window's outer edge, the buttons from the client area:
  // on the button in either sense, it stays hot.
  EXPECT_EQ(video_.BtnHot(), 1);
}

}  // namespace
