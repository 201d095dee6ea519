#include <gtest/gtest.h>

#include <thread>

#include "platform/kernel/kernel.h"
#include "platform/ui/test_support.h"

namespace platform::ui {
namespace {

using test::Log;
using test::Logged;
using test::MakeWindow;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::RegisterRecorders();
    top_ = MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 100, 50, 400, 300, nullptr);
    ASSERT_NE(top_, nullptr);
    Log().Clear();
  }
  void TearDown() override {
    if (IsWindow(top_)) DestroyWindow(top_);
    test::Drain();
    Log().Clear();
  }
  HWND top_ = nullptr;
};

TEST_F(WindowTest, ChildRectanglesAreInScreenCoordinatesAndClientExcludesBorders) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 20, 100, 80, top_, 7,
                          WS_EX_STATICEDGE);
  RECT r;
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r.left, 110);
  EXPECT_EQ(r.top, 70);
  EXPECT_EQ(r.right, 210);
  EXPECT_EQ(r.bottom, 150);
  ASSERT_TRUE(GetClientRect(child, &r));
  EXPECT_EQ(r.right, 96);  // one pixel of border and one of static edge on each side
  EXPECT_EQ(r.bottom, 76);
  POINT p{0, 0};
  ClientToScreen(child, &p);
  EXPECT_EQ(p.x, 112);
  EXPECT_EQ(p.y, 72);
  ScreenToClient(child, &p);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(GetParent(child), top_);
  EXPECT_EQ(GetParent(top_), nullptr);
  EXPECT_TRUE(IsChild(top_, child));
  EXPECT_EQ(GetDlgCtrlID(child), 7);
  EXPECT_EQ(GetDlgItem(top_, 7), child);
}

TEST_F(WindowTest, CreationAndDestructionSendTheirMessagesInOrder) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, top_, 3);
  HWND grandchild = MakeWindow("Recorder", WS_CHILD, 0, 0, 10, 10, child, 4);
  std::vector<UINT> created =
      Log().Messages(child, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW});
  EXPECT_EQ(created, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
  EXPECT_EQ(Log().Messages(top_, {WM_PARENTNOTIFY}).size(), 1u);
  Log().Clear();
  ASSERT_TRUE(DestroyWindow(child));
  std::vector<std::pair<HWND, UINT>> order;
  for (const auto& m : Log().Take()) {
    if (m.message == WM_DESTROY || m.message == WM_NCDESTROY)
      order.emplace_back(m.window, m.message);
  }
  // WM_DESTROY parents first, WM_NCDESTROY children first.
  std::vector<std::pair<HWND, UINT>> expected{{child, WM_DESTROY},
                                              {grandchild, WM_DESTROY},
                                              {grandchild, WM_NCDESTROY},
                                              {child, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(IsWindow(grandchild));
  EXPECT_EQ(GetWindow(top_, GW_CHILD), nullptr);
}

TEST_F(WindowTest, NoParentNotifyStyleSilencesTheParent) {
  HWND child = MakeWindow("Recorder", WS_CHILD, 0, 0, 5, 5, top_, 1, WS_EX_NOPARENTNOTIFY);
  DestroyWindow(child);
  EXPECT_TRUE(Log().Messages(top_, {WM_PARENTNOTIFY}).empty());
}

LRESULT RefuseCreate(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) return -1;
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(WindowTest, FailedCreationGivesNullAndLeavesNoWindow) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RefuseCreate;
  wc.lpszClassName = "Refuser";
  RegisterClassA(&wc);
  EXPECT_EQ(
      CreateWindowExA(0, "Refuser", "", WS_CHILD, 0, 0, 5, 5, top_, nullptr, nullptr, nullptr),
      nullptr);
  EXPECT_EQ(GetWindow(top_, GW_CHILD), nullptr);
  EXPECT_EQ(
      CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  EXPECT_EQ(
      CreateWindowExA(0, "Recorder", "", WS_CHILD, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr),
      nullptr);
  EXPECT_FALSE(RegisterClassA(&wc));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
}

TEST_F(WindowTest, MovingSendsMoveAndSizeAndCarriesChildren) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, top_);
  HWND inner = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 5, 5, 10, 10, child);
  Log().Clear();
  ASSERT_TRUE(MoveWindow(child, 20, 30, 60, 40, TRUE));
  auto log = Log().Take();
  std::vector<Logged> mine;
  for (auto& m : log) {
    if (m.window == child && (m.message == WM_MOVE || m.message == WM_SIZE)) mine.push_back(m);
  }
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(mine[0].message, WM_MOVE);
  EXPECT_EQ(GET_X_LPARAM(mine[0].lparam), 20);
  EXPECT_EQ(GET_Y_LPARAM(mine[0].lparam), 30);
  EXPECT_EQ(mine[1].message, WM_SIZE);
  EXPECT_EQ(GET_X_LPARAM(mine[1].lparam), 60);
  EXPECT_EQ(GET_Y_LPARAM(mine[1].lparam), 40);
  RECT r;
  GetWindowRect(inner, &r);
  EXPECT_EQ(r.left, 100 + 20 + 5);
  EXPECT_EQ(r.top, 50 + 30 + 5);
  Log().Clear();
  MoveWindow(child, 20, 30, 60, 40, TRUE);  // nothing changes: nothing is told
  EXPECT_TRUE(Log().Messages(child, {WM_MOVE, WM_SIZE}).empty());
}

TEST_F(WindowTest, VisibilityFollowsAncestorsAndShowWindowTellsTheWindow) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top_);
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_TRUE(ShowWindow(top_, SW_HIDE));  // was visible
  EXPECT_FALSE(IsWindowVisible(child));
  EXPECT_FALSE(ShowWindow(top_, SW_HIDE));
  EXPECT_EQ(Log().Messages(top_, {WM_SHOWWINDOW}).size(), 1u);
  ShowWindow(top_, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(child));
}

LRESULT g_last_sub_message = 0;
WNDPROC g_original = nullptr;

LRESULT Subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER + 5) return 55;
  g_last_sub_message = message;
  return CallWindowProcA(g_original, window, message, wparam, lparam);
}

TEST_F(WindowTest, SubclassingAndUserData) {
  SetWindowLongPtrA(top_, GWLP_USERDATA, 1234);
  EXPECT_EQ(GetWindowLongPtrA(top_, GWLP_USERDATA), 1234);
  g_original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(top_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
  ASSERT_NE(g_original, nullptr);
  EXPECT_EQ(SendMessageA(top_, WM_USER + 5, 0, 0), 55);
  SendMessageA(top_, WM_USER + 6, 0, 0);
  EXPECT_EQ(g_last_sub_message, static_cast<LRESULT>(WM_USER + 6));
  EXPECT_EQ(Log().Messages(top_, {WM_USER + 5, WM_USER + 6}),
            (std::vector<UINT>{WM_USER + 6}));  // only what the subclass passed on
  EXPECT_EQ(GetWindowLongPtrA(top_, GWL_STYLE) & WS_POPUP, static_cast<LONG_PTR>(WS_POPUP));
  SetWindowTextA(top_, "title");
  char text[16];
  EXPECT_EQ(GetWindowTextA(top_, text, sizeof(text)), 5);
  EXPECT_STREQ(text, "title");
  EXPECT_EQ(GetWindowTextA(top_, text, 3), 2);  // truncated, still terminated
  EXPECT_STREQ(text, "ti");
}

TEST_F(WindowTest, ZOrderOfChildrenAndSetWindowPos) {
  HWND a = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top_);
  HWND b = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top_);
  EXPECT_EQ(GetWindow(top_, GW_CHILD), a);  // later children lie below
  EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(top_, GW_CHILD), b);
  SetWindowPos(b, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(top_, GW_CHILD), a);
}

TEST_F(WindowTest, OtherThreadsMayQueryButNotDestroy) {
  HWND child = MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 1, 2, 3, 4, top_);
  BOOL destroyed = TRUE;
  DWORD error = 0;
  RECT r{};
  std::thread other([&] {
    GetWindowRect(child, &r);
    destroyed = DestroyWindow(child);
    error = GetLastError();
  });
  other.join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(r.left, 101);
  EXPECT_TRUE(IsWindow(child));
}

TEST_F(WindowTest, CallsOnStaleHandlesFail) {
  HWND child = MakeWindow("Recorder", WS_CHILD, 0, 0, 5, 5, top_);
  DestroyWindow(child);
  RECT r;
  EXPECT_FALSE(GetWindowRect(child, &r));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(DestroyWindow(child));
  EXPECT_EQ(SendMessageA(child, WM_USER, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(child, WM_USER, 0, 0));
}

}  // namespace
}  // namespace platform::ui
