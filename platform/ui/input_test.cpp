#include <gtest/gtest.h>

#include "platform/ui/test_support.h"

namespace platform::ui {
namespace {

using test::Log;
using test::Logged;
using test::MakeWindow;

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    top_ = MakeWindow("RecorderDbl", WS_POPUP | WS_VISIBLE, 600, 400, 300, 200, nullptr);
    child_ =
        MakeWindow("RecorderDbl", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 100, 100, top_, 1);
    inner_ = MakeWindow("RecorderDbl", WS_CHILD | WS_VISIBLE, 20, 20, 30, 30, child_, 2);
    test::Drain();
    Log().Clear();
  }
  void TearDown() override {
    ReleaseCapture();
    DestroyWindow(top_);
    test::Drain();
    Log().Clear();
  }
  // Mouse messages each window got, in order.
  std::vector<Logged> Mouse() {
    test::Drain();
    std::vector<Logged> out;
    for (const Logged& m : Log().Take()) {
      if ((m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST && m.message != WM_MOUSEMOVE) ||
          (m.message >= WM_NCLBUTTONDOWN && m.message <= WM_NCRBUTTONDBLCLK)) {
        out.push_back(m);
      }
    }
    return out;
  }
  void Click(MouseButton b, int x, int y, DWORD t) {
    InputMouseButton(b, true, x, y, t);
    InputMouseButton(b, false, x, y, t + 20);
  }
  HWND top_, child_, inner_;
};

TEST_F(InputTest, ClicksGoToTheDeepestVisibleChildInClientCoordinates) {
  // inner_ client origin: 600 + 10 + 1 (border) + 20 = 631.
  Click(MouseButton::kLeft, 635, 437, 1000);
  auto got = Mouse();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].window, inner_);
  EXPECT_EQ(got[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(GET_X_LPARAM(got[0].lparam), 4);
  EXPECT_EQ(GET_Y_LPARAM(got[0].lparam), 6);
  EXPECT_EQ(got[0].wparam & MK_LBUTTON, MK_LBUTTON);
  EXPECT_EQ(got[1].message, WM_LBUTTONUP);
  ShowWindow(inner_, SW_HIDE);
  Click(MouseButton::kLeft, 635, 437, 5000);
  got = Mouse();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0].window, child_);
  // On the border: non-client, screen coordinates.
  Click(MouseButton::kLeft, 610, 430, 9000);
  got = Mouse();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0].window, child_);
  EXPECT_EQ(got[0].message, WM_NCLBUTTONDOWN);
  EXPECT_EQ(got[0].wparam, static_cast<WPARAM>(HTBORDER));
  EXPECT_EQ(GET_X_LPARAM(got[0].lparam), 610);
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 610);
  EXPECT_EQ(WindowFromPoint(POINT{850, 550}), top_);
}

TEST_F(InputTest, DoubleClickNeedsTheTimeTheSpotAndTheClassStyle) {
  Click(MouseButton::kLeft, 635, 437, 10000);
  Click(MouseButton::kLeft, 636, 438, 10000 + 300);  // within 500 ms and 2 pixels
  Click(MouseButton::kLeft, 636, 438, 10000 + 400);  // a third press starts a new pair
  auto got = Mouse();
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(got[2].message, WM_LBUTTONDBLCLK);
  EXPECT_EQ(got[3].message, WM_LBUTTONUP);
  EXPECT_EQ(got[4].message, WM_LBUTTONDOWN);

  Click(MouseButton::kLeft, 635, 437, 20000);
  Click(MouseButton::kLeft, 635, 437, 20000 + 501);  // too slow
  Click(MouseButton::kLeft, 635, 437, 30000);
  Click(MouseButton::kLeft, 645, 437, 30000 + 100);  // too far
  Click(MouseButton::kLeft, 635, 437, 40000);
  Click(MouseButton::kRight, 635, 437, 40000 + 100);  // other button
  for (const Logged& m : Mouse()) EXPECT_NE(m.message, WM_LBUTTONDBLCLK);

  Click(MouseButton::kRight, 635, 437, 50000);
  Click(MouseButton::kRight, 635, 437, 50000 + 200);
  got = Mouse();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[2].message, WM_RBUTTONDBLCLK);
}

TEST_F(InputTest, ClassesWithoutDoubleClicksGetTwoPresses) {
  HWND plain = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 200, 10, 50, 50, top_);
  test::Drain();
  Log().Clear();
  Click(MouseButton::kLeft, 810, 420, 60000);
  Click(MouseButton::kLeft, 810, 420, 60100);
  auto got = Mouse();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[2].window, plain);
  EXPECT_EQ(got[2].message, WM_LBUTTONDOWN);
}

TEST_F(InputTest, CaptureTakesEveryMouseMessageUntilReleased) {
  EXPECT_EQ(SetCapture(inner_), nullptr);
  EXPECT_EQ(GetCapture(), inner_);
  InputMouseMove(700, 500, 70000);
  InputMouseButton(MouseButton::kLeft, false, 100, 100, 70010);  // far outside everything
  test::Drain();
  auto moves = Log().Messages(inner_, {WM_MOUSEMOVE, WM_LBUTTONUP});
  EXPECT_EQ(moves, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONUP}));
  auto log = Log().Take();
  for (const Logged& m : log) {
    if (m.message == WM_LBUTTONUP) {
      EXPECT_EQ(GET_X_LPARAM(m.lparam), 100 - 631);
    }
  }
  ReleaseCapture();
  EXPECT_EQ(Log().Messages(inner_, {WM_CAPTURECHANGED}).size(), 1u);
  InputMouseMove(700, 500, 70100);
  test::Drain();
  EXPECT_TRUE(Log().Messages(inner_, {WM_MOUSEMOVE}).empty());
  SetCapture(child_);
  DestroyWindow(child_);  // destroying the capture window releases it
  EXPECT_EQ(GetCapture(), nullptr);
}

LRESULT HandCursor(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_MOUSEMOVE) SetCursor(LoadCursorA(nullptr, IDC_HAND));
  if (message == WM_SETCURSOR) return TRUE;  // keep whatever the move chose
  return DefWindowProcA(window, message, wparam, lparam);
}

void RecordCursor(void* context, int id) { *static_cast<int*>(context) = id; }

TEST_F(InputTest, CursorFollowsWmSetCursorAndSetCursor) {
  int shown = 0;
  SetCursorObserver(RecordCursor, &shown);
  InputMouseMove(635, 437, 80000);
  test::Drain();
  EXPECT_EQ(shown, 0);  // the class has no cursor and the arrow was already shown
  SetWindowLongPtrA(inner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HandCursor));
  InputMouseMove(636, 437, 80010);
  test::Drain();
  EXPECT_EQ(shown, 32649);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(shown, 32512);
  SetCursorObserver(nullptr, nullptr);
}

TEST_F(InputTest, StaticWithoutNotifyLetsTheMouseThroughAndWithItTellsItsParent) {
  HWND quiet = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 150, 10, 40, 40, top_,
                               reinterpret_cast<HMENU>(8), nullptr, nullptr);
  HWND notify = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 200, 10, 40, 40,
                                top_, reinterpret_cast<HMENU>(9), nullptr, nullptr);
  ASSERT_NE(quiet, nullptr);
  ASSERT_NE(notify, nullptr);
  test::Drain();
  Log().Clear();
  EXPECT_EQ(WindowFromPoint(POINT{760, 420}), top_);
  EXPECT_EQ(WindowFromPoint(POINT{810, 420}), notify);
  Click(MouseButton::kLeft, 810, 420, 90000);
  Click(MouseButton::kLeft, 810, 420, 90100);
  test::Drain();
  std::vector<WORD> codes;
  for (const Logged& m : Log().Take()) {
    if (m.window == top_ && m.message == WM_COMMAND) {
      EXPECT_EQ(LOWORD(m.wparam), 9);
      EXPECT_EQ(reinterpret_cast<HWND>(m.lparam), notify);
      codes.push_back(HIWORD(m.wparam));
    }
  }
  EXPECT_EQ(codes, (std::vector<WORD>{STN_CLICKED, STN_DBLCLK}));
}

TEST_F(InputTest, KeysGoToTheFocusWindowAndTranslateToCharacters) {
  SetFocus(inner_);
  EXPECT_EQ(Log().Messages(inner_, {WM_SETFOCUS}).size(), 1u);
  InputKey('A', true, 1);
  InputKey('A', false, 2);
  InputKey(VK_SHIFT, true, 3);
  InputKey('B', true, 4);
  InputKey(VK_SHIFT, false, 5);
  test::Drain();
  std::string typed;
  for (const Logged& m : Log().Take()) {
    if (m.window == inner_ && m.message == WM_CHAR) typed += static_cast<char>(m.wparam);
  }
  EXPECT_EQ(typed, "aB");
  SetFocus(nullptr);
}

}  // namespace
}  // namespace platform::ui
