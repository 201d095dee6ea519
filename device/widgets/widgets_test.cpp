// The owner-drawn widgets under a person's mouse and keyboard on the headless display.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "device/widgets/widget_art.h"
#include "device/widgets/widget_panel.h"
#include "device/widgets/widget_theme.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/commctrl.h"

namespace device::widgets {
namespace {

using platform::display::Button;

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

COLORREF BitmapPixel(UINT id, int x, int y) {
  HBITMAP bitmap = DrawWidgetBitmap(id);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return c;
}

class WidgetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = platform::display::Display::CreateHeadless(800, 600, &error);
    ASSERT_NE(display_, nullptr) << error;
    platform::gdi::InstallDcProvider();
    ASSERT_TRUE(panel_.Create(20, 20));
    Pump();
    panel_.events.clear();
  }
  void TearDown() override {
    ReleaseCapture();
    Pump();
  }

  // Screen point of (x, y) in a widget's client area.
  POINT At(const CWnd& w, int x, int y) {
    POINT p{x, y};
    ClientToScreen(w.m_hWnd, &p);
    return p;
  }
  void MoveTo(POINT p) {
    display_->input().MoveTo(p.x, p.y);
    Pump();
  }
  void Press(POINT p) {
    display_->input().Press(Button::kLeft, p.x, p.y);
    Pump();
  }
  void Release(POINT p) {
    display_->input().Release(Button::kLeft, p.x, p.y);
    Pump();
  }
  COLORREF Screen(POINT p) {
    auto& fb = display_->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    uint32_t x = fb.Pixel(p.x, p.y);
    return RGB((x >> 16) & 0xFF, (x >> 8) & 0xFF, x & 0xFF);
  }

  std::unique_ptr<platform::display::Display> display_;
  SamplePanel panel_;
};

TEST_F(WidgetsTest, PtzButtonSendsPressAndReleaseOnlyForAReleaseInside) {
  CBitmapBtn& up = panel_.ptz[1];  // ID 1016
  MoveTo(At(up, 15, 15));
  Press(At(up, 15, 15));
  Release(At(up, 16, 15));
  auto presses = panel_.Events(kMsgPtzPress);
  auto releases = panel_.Events(kMsgPtzRelease);
  ASSERT_EQ(presses.size(), 1u);
  EXPECT_EQ(presses[0].wparam, 1016u);
  ASSERT_EQ(releases.size(), 1u);
  EXPECT_EQ(releases[0].wparam, 1016u);
  ASSERT_EQ(panel_.Events(WM_COMMAND).size(), 1u);
  EXPECT_EQ(panel_.Events(WM_COMMAND)[0].wparam, MAKEWPARAM(1016, BN_CLICKED));

  // Held down, dragged off and let go outside: the press is told, the release is not.
  panel_.events.clear();
  display_->input().Wait(1000);
  Press(At(up, 15, 15));
  MoveTo(At(up, 60, 15));
  EXPECT_FALSE(up.hover());
  EXPECT_EQ(GetCapture(), up.m_hWnd);  // kept while pressed, so the release is seen
  Release(At(up, 60, 15));
  EXPECT_EQ(panel_.Events(kMsgPtzPress).size(), 1u);
  EXPECT_TRUE(panel_.Events(kMsgPtzRelease).empty());
  EXPECT_TRUE(panel_.Events(WM_COMMAND).empty());
  EXPECT_EQ(GetCapture(), nullptr);

  // Text buttons are no PTZ buttons: a click, but no 1325/1326.
  panel_.events.clear();
  display_->input().Wait(1000);
  POINT t = At(panel_.text_buttons[0], 40, 12);
  MoveTo(t);
  Press(t);
  Release(t);
  EXPECT_TRUE(panel_.Events(kMsgPtzPress).empty());
  EXPECT_EQ(panel_.Events(WM_COMMAND).size(), 1u);
}

TEST_F(WidgetsTest, DisabledButtonShowsItsDisabledBitmapAndSendsNothing) {
  CBitmapBtn& left = panel_.ptz[3];  // ID 1018, bitmaps 121/122/123/123
  left.EnableWindow(FALSE);
  Pump();
  EXPECT_EQ(Screen(At(left, 15, 2)), BitmapPixel(123, 15, 2));
  EXPECT_NE(BitmapPixel(123, 15, 2), BitmapPixel(121, 15, 2));
  POINT p = At(left, 15, 15);
  MoveTo(p);
  Press(p);
  Release(p);
  EXPECT_TRUE(panel_.events.empty());
  EXPECT_FALSE(left.hover());
  left.EnableWindow(TRUE);
  Pump();
  EXPECT_EQ(Screen(At(left, 15, 2)), BitmapPixel(121, 15, 2));
}

TEST_F(WidgetsTest, HoverIsTrackedByHoldingTheCaptureWhileInside) {
  CBitmapBtn& stop = panel_.ptz[4];  // ID 1019, bitmaps 137/138
  MoveTo(At(stop, 15, 15));
  EXPECT_TRUE(stop.hover());
  EXPECT_EQ(GetCapture(), stop.m_hWnd);
  EXPECT_EQ(Screen(At(stop, 15, 2)), BitmapPixel(138, 15, 2));
  MoveTo(At(stop, 15, 45));  // onto the next row's button
  EXPECT_FALSE(stop.hover());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Screen(At(stop, 15, 2)), BitmapPixel(137, 15, 2));
  // The move that left also reaches the button beneath once the capture is gone.
  MoveTo(At(stop, 15, 46));
  EXPECT_TRUE(panel_.ptz[7].hover());
}

TEST_F(WidgetsTest, ShapedButtonShowsTheBackgroundAndIgnoresPressesOnItsCorners) {
  CBitmapBtn& zoom = panel_.ptz[9];
  EXPECT_EQ(Screen(At(zoom, 0, 0)), kDialogBackground);
  POINT corner = At(zoom, 1, 1);
  MoveTo(corner);
  EXPECT_FALSE(zoom.hover());
  Press(corner);
  Release(corner);
  EXPECT_TRUE(panel_.events.empty());
}

TEST_F(WidgetsTest, SliderDragIsClampedAndReportedWithItsId) {
  CBitmapSlider& s = panel_.slider;
  SetTimer(panel_.m_hWnd, kPlaybackTimerId, 1000, nullptr);
  int lead = s.PixelOf(s.GetPos());
  POINT grab = At(s, lead + 3, 11);
  MoveTo(grab);
  Press(grab);
  EXPECT_TRUE(panel_.Events(kMsgSliderMoving).empty());      // a press on the thumb moves nothing
  EXPECT_FALSE(KillTimer(panel_.m_hWnd, kPlaybackTimerId));  // the press stopped it
  MoveTo(At(s, lead + 23, 11));
  MoveTo(At(s, lead + 400, 11));  // far past the end
  Release(At(s, lead + 400, 11));
  auto moving = panel_.Events(kMsgSliderMoving);
  ASSERT_EQ(moving.size(), 2u);
  EXPECT_EQ(moving[0].wparam, static_cast<WPARAM>(SamplePanel::kSliderId));
  EXPECT_GT(moving[0].lparam, 50);
  EXPECT_EQ(moving[1].lparam, 100);
  auto released = panel_.Events(kMsgSliderReleased);
  ASSERT_EQ(released.size(), 1u);
  EXPECT_EQ(released[0].lparam, 100);
  EXPECT_EQ(s.GetPos(), 100);

  // A press on the channel brings the thumb there at once.
  panel_.events.clear();
  display_->input().Wait(1000);
  POINT start = At(s, 2, 11);
  Press(start);
  Release(start);
  ASSERT_EQ(panel_.Events(kMsgSliderMoving).size(), 1u);
  EXPECT_EQ(panel_.Events(kMsgSliderMoving)[0].lparam, 0);

  // Keys move it by one and report it as a press and a release.
  panel_.events.clear();
  SetFocus(s.m_hWnd);
  display_->input().Key(VK_RIGHT);
  Pump();
  EXPECT_EQ(s.GetPos(), 1);
  EXPECT_EQ(panel_.Events(kMsgSliderReleased).size(), 1u);
  SetFocus(nullptr);

  // Disabled, it takes nothing.
  panel_.events.clear();
  s.EnableWindow(FALSE);
  display_->input().Wait(1000);
  Press(At(s, 80, 11));
  Release(At(s, 80, 11));
  EXPECT_TRUE(panel_.events.empty());
  EXPECT_EQ(s.GetPos(), 1);
}

TEST_F(WidgetsTest, SliderPositionsOutsideTheRangeShowAtTheNearestEnd) {
  CBitmapSlider& s = panel_.slider;
  s.SetRange(-60, 60);
  s.SetPos(500);
  EXPECT_EQ(s.GetPos(), 60);
  EXPECT_EQ(s.PixelOf(500), s.PixelOf(60));
  s.SetPos(-500);
  EXPECT_EQ(s.GetPos(), -60);
  EXPECT_EQ(s.PixelOf(-60), 2);  // the start margin
  s.SetRange(80, 20);            // given the wrong way round
  EXPECT_EQ(s.GetRangeMin(), 20);
  EXPECT_EQ(s.GetRangeMax(), 80);
  EXPECT_EQ(s.GetPos(), 20);
  s.SetRange(5, 5);  // an empty range holds its one value and divides by nothing
  EXPECT_EQ(s.GetPos(), 5);
  EXPECT_EQ(s.PosAt(90), 5);
  EXPECT_EQ(s.PixelOf(5), 2);
}

TEST_F(WidgetsTest, CheckBoxTogglesAndAnswersTheCheckMessages) {
  CCheckBtn& all = panel_.check;
  EXPECT_EQ(all.SendMessage(BM_GETCHECK), static_cast<LRESULT>(BST_CHECKED));
  POINT p = At(all, 5, 9);
  MoveTo(p);
  Press(p);
  Release(p);
  EXPECT_FALSE(all.GetCheck());
  ASSERT_EQ(panel_.Events(WM_COMMAND).size(), 1u);
  EXPECT_EQ(panel_.Events(WM_COMMAND)[0].wparam, MAKEWPARAM(SamplePanel::kCheckId, BN_CLICKED));
  all.SendMessage(BM_SETCHECK, BST_CHECKED);
  EXPECT_TRUE(all.GetCheck());
}

TEST_F(WidgetsTest, LabelsPaintTheirColoursOrTheParentsBackground) {
  Pump();
  EXPECT_EQ(Screen(At(panel_.label, 68, 1)), kDialogBackground);
  panel_.label.SetTransparent(false);
  Pump();
  EXPECT_EQ(Screen(At(panel_.label, 68, 1)), kStaticDefaultBack);
}

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = platform::display::Display::CreateHeadless(800, 600, &error);
    ASSERT_NE(display_, nullptr) << error;
    platform::gdi::InstallDcProvider();
    ASSERT_TRUE(sample_.Create(10, 10, 640, 300, 6));
    Pump();
    sample_.events.clear();
  }
  std::unique_ptr<platform::display::Display> display_;
  SampleList sample_;
};

TEST_F(ListTest, RowsKeepTheirDataAndAreDrawnInTheListColours) {
  CYSListCtrl& list = sample_.list;
  EXPECT_EQ(list.GetItemCount(), 6);
  EXPECT_EQ(list.GetItemData(4), 7004);
  EXPECT_EQ(list.GetItemText(1, 5), "40%");
  RECT row{LVIR_BOUNDS, 0, 0, 0};
  list.SendMessage(LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  EXPECT_EQ(row.bottom - row.top, 20);  // the row height came back by reflection
  EXPECT_EQ(row.top, list.Header().Height());

  // The row font, colours and header as the dialogs set them.
  auto screen = [&](HWND w, int x, int y) {
    POINT p{x, y};
    ClientToScreen(w, &p);
    auto& fb = display_->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    uint32_t v = fb.Pixel(p.x, p.y);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  };
  EXPECT_EQ(screen(list.Header().m_hWnd, 3, 3), kDialogBackground);
  EXPECT_EQ(screen(list.m_hWnd, 3, row.top + 3), kListBackground);

  // A click selects the row under it, drawn in the selection colour.
  POINT p{300, row.top + 20 * 3 + 10};
  ClientToScreen(list.m_hWnd, &p);
  display_->input().Click(p.x, p.y);
  Pump();
  EXPECT_EQ(list.GetSelectedRow(), 3);
  EXPECT_EQ(screen(list.m_hWnd, 3, row.top + 20 * 3 + 3), RGB(51, 102, 153));
  EXPECT_EQ(list.GetItemData(list.GetSelectedRow()), 7003);

  // A click on a column title reaches the dialog as a header notification.
  POINT h{20, 5};
  ClientToScreen(list.Header().m_hWnd, &h);
  display_->input().Wait(1000);
  display_->input().Click(h.x, h.y);
  Pump();
  bool header_click = false;
  for (const WidgetEvent& e : sample_.Events(WM_NOTIFY)) header_click |= e.wparam == HDN_ITEMCLICKA;
  EXPECT_TRUE(header_click);

  ASSERT_TRUE(list.DeleteItem(0));
  EXPECT_EQ(list.GetItemData(0), 7001);
  ASSERT_TRUE(list.DeleteAllItems());
  EXPECT_EQ(list.GetItemCount(), 0);
}

}  // namespace
}  // namespace device::widgets

namespace device::widgets {
namespace {

TEST_F(WidgetsTest, ButtonTooltipShowsWhileTheCursorRestsOnIt) {
  CBitmapBtn& right = panel_.ptz[5];  // "right"
  ASSERT_NE(right.tooltip(), nullptr);
  SendMessageA(right.tooltip(), TTM_SETDELAYTIME, TTDT_INITIAL, 30);
  MoveTo(At(right, 15, 15));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!IsWindowVisible(right.tooltip()) && std::chrono::steady_clock::now() < deadline) {
    Sleep(5);
    Pump();
  }
  ASSERT_TRUE(IsWindowVisible(right.tooltip()));
  char text[32] = {};
  GetWindowTextA(right.tooltip(), text, sizeof text);
  EXPECT_STREQ(text, "right");
  Press(At(right, 15, 15));  // a press puts the tip away
  EXPECT_FALSE(IsWindowVisible(right.tooltip()));
  Release(At(right, 15, 15));
}

}  // namespace
}  // namespace device::widgets

namespace device::widgets {
namespace {

// A dialog procedure that is no CWnd hands its children's notifications back by itself.
LRESULT PlainParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (CWnd::ReflectNotification(window, message, wparam, lparam, &result)) return result;
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST(Reflection, AListInAPlainParentStillMeasuresAndDrawsItsRows) {
  std::string error;
  auto display = platform::display::Display::CreateHeadless(400, 300, &error);
  ASSERT_NE(display, nullptr) << error;
  platform::gdi::InstallDcProvider();
  InitCommonControls();
  WNDCLASSA wc{};
  wc.lpfnWndProc = PlainParentProc;
  wc.lpszClassName = "PlainReflectingParent";
  RegisterClassA(&wc);
  HWND parent = CreateWindowExA(0, "PlainReflectingParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 400,
                                300, nullptr, nullptr, nullptr, nullptr);
  HWND window = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 400,
                                300, parent, reinterpret_cast<HMENU>(9), nullptr, nullptr);
  {
    CYSListCtrl list;
    ASSERT_TRUE(list.Attach(window));
    list.SetRowHeight(26);
    list.SetBkColor(kListBackground);
    list.InsertColumn(0, "Path", 200, LVCFMT_LEFT);
    list.InsertItem(0, "a");
    list.InsertItem(1, "b");
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    list.SendMessage(LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    EXPECT_EQ(row.bottom - row.top, 26);
    LVITEMA state{};
    state.state = state.stateMask = LVIS_SELECTED;
    list.SendMessage(LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    UpdateWindow(parent);
    Pump();
    auto& fb = display->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    EXPECT_EQ(fb.Pixel(150, (row.top + row.bottom) / 2), 0x336699u);  // drawn by the CYSListCtrl
  }
  DestroyWindow(parent);
  Pump();
}

}  // namespace
}  // namespace device::widgets

namespace device::widgets {
namespace {

TEST_F(WidgetsTest, RelayButtonShowsItsAlternatePairWhileTheFlagIsSet) {
  CBitmapBtn& relay = panel_.relays[0];  // 320 while the output is on, 319 while off
  POINT lamp = At(relay, 10, 12);
  EXPECT_EQ(Screen(lamp), BitmapPixel(320, 10, 12));
  relay.SetUseAlternate(true);
  Pump();
  EXPECT_EQ(Screen(lamp), BitmapPixel(319, 10, 12));
  EXPECT_NE(BitmapPixel(319, 10, 12), BitmapPixel(320, 10, 12));
  relay.SetUseAlternate(false);
  Pump();
  EXPECT_EQ(Screen(lamp), BitmapPixel(320, 10, 12));
}

TEST_F(WidgetsTest, ButtonWithADocumentOpensItInItsFolderOnAClick) {
  char pattern[] = "/tmp/orvix_doc_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  std::ofstream(dir + "/xdg-open") << "#!/bin/sh\necho \"$PWD|$1\" > " << dir << "/o.tmp && mv "
                                   << dir << "/o.tmp " << dir << "/opened\n";
  std::filesystem::permissions(dir + "/xdg-open", std::filesystem::perms(0755));
  std::ofstream(dir + "/help.html") << "<p>help</p>";
  std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (dir + ":" + old_path).c_str(), 1);

  CBitmapBtn& button = panel_.text_buttons[2];
  button.SetDocumentPath(dir + "/help.html");
  POINT p = At(button, 40, 12);
  MoveTo(p);
  Press(p);
  Release(p);
  EXPECT_EQ(panel_.Events(WM_COMMAND).size(), 1u);
  std::string opened;
  for (int i = 0; i < 200 && opened.empty(); ++i) {
    std::ifstream in(dir + "/opened");
    std::getline(in, opened);
    if (opened.empty()) Sleep(10);
  }
  EXPECT_EQ(opened, dir + "|" + dir + "/help.html");
  setenv("PATH", old_path.c_str(), 1);
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace device::widgets

namespace device::widgets {
namespace {

TEST_F(WidgetsTest, SpaceWorksAFocusedPtzButtonAndLosingTheFocusStopsIt) {
  CBitmapBtn& down = panel_.ptz[7];  // ID 1022
  SetFocus(down.m_hWnd);
  display_->input().Key(VK_SPACE);
  Pump();
  ASSERT_EQ(panel_.Events(kMsgPtzPress).size(), 1u);
  ASSERT_EQ(panel_.Events(kMsgPtzRelease).size(), 1u);
  EXPECT_EQ(panel_.Events(kMsgPtzRelease)[0].wparam, 1022u);
  EXPECT_EQ(panel_.Events(WM_COMMAND).size(), 1u);

  panel_.events.clear();
  PostMessageA(down.m_hWnd, WM_KEYDOWN, VK_SPACE, 1);  // held...
  Pump();
  EXPECT_EQ(panel_.Events(kMsgPtzPress).size(), 1u);
  SetFocus(panel_.check.m_hWnd);  // ...while the focus moves on
  EXPECT_EQ(panel_.Events(kMsgPtzRelease).size(), 1u);
  PostMessageA(down.m_hWnd, WM_KEYUP, VK_SPACE, 0);  // a late key up clicks nothing
  Pump();
  EXPECT_TRUE(panel_.Events(WM_COMMAND).empty());
  EXPECT_EQ(panel_.Events(kMsgPtzRelease).size(), 1u);
  SetFocus(nullptr);
}

}  // namespace
}  // namespace device::widgets

namespace device::widgets {
namespace {

TEST_F(WidgetsTest, SliderOnADialogsStaticControlTakesTheMouse) {
  HWND holder = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 6, 300, 105, 22,
                                panel_.m_hWnd, reinterpret_cast<HMENU>(1300), nullptr, nullptr);
  CBitmapSlider s;
  ASSERT_TRUE(s.SubclassDlgItem(1300, panel_.m_hWnd));
  s.SetBitmapChannel(1289);
  s.SetBitmapThumb(1290);
  s.SetRange(0, 10);
  POINT end = At(s, 100, 11);
  MoveTo(end);
  Press(end);
  Release(end);
  EXPECT_EQ(s.GetPos(), 10);
  ASSERT_EQ(panel_.Events(kMsgSliderReleased).size(), 1u);
  EXPECT_EQ(panel_.Events(kMsgSliderReleased)[0].wparam, 1300u);
  s.UnsubclassWindow();
  DestroyWindow(holder);
}

}  // namespace
}  // namespace device::widgets
