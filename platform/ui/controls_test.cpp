#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "platform/ui/dialog_test_fixture.h"

namespace platform::ui::test {
namespace {

class ControlsTest : public DialogTest {
 protected:
  std::string Text(int id) {
    char text[256];
    GetDlgItemTextA(dialog_, id, text, sizeof(text));
    return text;
  }
  void Type(const std::string& s) {
    for (char c : s) {
      // Characters as the keyboard gives them: a key for letters and digits, WM_CHAR else.
      if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ') {
        display_->input().Key(static_cast<UINT>(c >= 'a' ? c - 'a' + 'A' : c));
      } else {
        PostMessageA(GetFocus(), WM_CHAR, static_cast<unsigned char>(c), 0);
      }
    }
    Pump();
  }
};

TEST_F(ControlsTest, CheckBoxesToggleByClickAndSpaceAndTellTheDialog) {
  Open(IDD_SEARCH_EN);
  Click(Item(IDC_CH2));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CH2), BST_CHECKED);
  EXPECT_EQ(GetFocus(), Item(IDC_CH2));
  Key(VK_SPACE);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CH2), BST_UNCHECKED);
  // Clicking the text beside the box counts too, and the group box around lets it through.
  RECT r;
  GetWindowRect(Item(IDC_ALARM), &r);
  ClickAt(r.right - 4, (r.top + r.bottom) / 2);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_ALARM), BST_CHECKED);
  EXPECT_EQ(TakeClicks(), (std::vector<int>{IDC_CH2, IDC_CH2, IDC_ALARM}));
  // A radio click checks it and clears the rest of its group only.
  CheckDlgButton(dialog_, IDC_CH1, BST_CHECKED);
  Click(Item(IDC_OLDEST));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_OLDEST), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_NEWEST), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CH1), BST_CHECKED);
}

TEST_F(ControlsTest, EditTypesSelectsCopiesAndPastesWithinTheProcess) {
  Open(IDD_CONFIRM);
  ASSERT_EQ(GetFocus(), Item(IDC_NAME));
  Type("cam 2");
  EXPECT_EQ(Text(IDC_NAME), "cam 2");
  Key(VK_LEFT);
  Key(VK_BACK);
  EXPECT_EQ(Text(IDC_NAME), "cam2");
  KeyWith(VK_SHIFT, VK_HOME);  // selects "cam"
  KeyWith(VK_CONTROL, 'C');
  Key(VK_END);
  KeyWith(VK_CONTROL, 'V');
  EXPECT_EQ(Text(IDC_NAME), "cam2cam");
  KeyWith(VK_MENU, 'M');  // Alt with a key types nothing
  EXPECT_EQ(Text(IDC_NAME), "cam2cam");
  KeyWith(VK_CONTROL, 'A');
  KeyWith(VK_CONTROL, 'X');
  EXPECT_EQ(Text(IDC_NAME), "");
  // The number field keeps digits only, from the keyboard and the clipboard.
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_COUNT)), TRUE);
  Type("4x2");
  EXPECT_EQ(Text(IDC_COUNT), "42");
  KeyWith(VK_CONTROL, 'V');  // "cam2cam" gives its digit
  EXPECT_EQ(Text(IDC_COUNT), "422");
  // The limit stops typing and says so.
  SendDlgItemMessageA(dialog_, IDC_COUNT, EM_SETLIMITTEXT, 4, 0);
  Type("789");
  EXPECT_EQ(Text(IDC_COUNT), "4227");
  std::vector<Command> commands = TakeCommands();
  EXPECT_NE(std::find(commands.begin(), commands.end(), Command{IDC_COUNT, EN_MAXTEXT}),
            commands.end());
  EXPECT_NE(std::find(commands.begin(), commands.end(), Command{IDC_NAME, EN_CHANGE}),
            commands.end());
}

TEST_F(ControlsTest, EditKeepsTwoByteCharactersWhole) {
  Open(IDD_CONFIRM);
  // "中文" in GBK, typed as a person's input method gives it: one byte per WM_CHAR.
  for (unsigned char b : {0xD6, 0xD0, 0xCE, 0xC4}) PostMessageA(GetFocus(), WM_CHAR, b, 0);
  Pump();
  EXPECT_EQ(Text(IDC_NAME), "\xD6\xD0\xCE\xC4");
  Key(VK_LEFT);
  DWORD start = 0, end = 0;
  SendDlgItemMessageA(dialog_, IDC_NAME, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                      reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 2u);
  Key(VK_DELETE);
  EXPECT_EQ(Text(IDC_NAME), "\xD6\xD0");
  Key(VK_BACK);
  EXPECT_EQ(Text(IDC_NAME), "");
}

TEST_F(ControlsTest, EditClickPlacesTheCaretAndDragSelects) {
  Open(IDD_CONFIRM);
  SetDlgItemTextA(dialog_, IDC_NAME, "abcdefgh");
  RECT r;
  GetWindowRect(Item(IDC_NAME), &r);
  int y = (r.top + r.bottom) / 2;
  ClickAt(r.left + 2, y);
  DWORD start = 9, end = 9;
  SendDlgItemMessageA(dialog_, IDC_NAME, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                      reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 0u);
  auto& in = display_->input();
  in.Press(platform::display::Button::kLeft, r.left + 2, y);
  in.MoveTo(r.right - 3, y);
  in.Release(platform::display::Button::kLeft, r.right - 3, y);
  Pump();
  SendDlgItemMessageA(dialog_, IDC_NAME, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                      reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 8u);
}

TEST_F(ControlsTest, ARightAlignedEditKeepsItsTextAndCaretAtTheRight) {
  Open(IDD_CONFIRM);
  HWND edit = Item(IDC_COUNT);
  SetWindowLongA(edit, GWL_STYLE, GetWindowLongA(edit, GWL_STYLE) | ES_RIGHT);
  SetDlgItemTextA(dialog_, IDC_COUNT, "12");
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
  RECT r;
  GetWindowRect(edit, &r);
  // A click at the left edge puts the caret before the text, one at the right after it.
  ClickAt(r.left + 3, (r.top + r.bottom) / 2);
  DWORD start = 9, end = 9;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  ClickAt(r.right - 4, (r.top + r.bottom) / 2);
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 2u);
  // The digits are drawn at the right end of the field.
  auto& fb = display_->framebuffer();
  std::lock_guard<std::mutex> lock(fb.mutex());
  int left_ink = 0, right_ink = 0;
  for (int y = r.top + 2; y < r.bottom - 2; ++y) {
    for (int x = r.left + 2; x < r.right - 2; ++x) {
      if (fb.Pixel(x, y) < 0x404040u) (x < (r.left + r.right) / 2 ? left_ink : right_ink)++;
    }
  }
  EXPECT_EQ(left_ink, 0);
  EXPECT_GT(right_ink, 10);
}

TEST_F(ControlsTest, ComboDropsByClickAndChoosesTheClickedItem) {
  Open(IDD_SEARCH_EN);
  HWND combo = Item(IDC_STORAGE);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(Text(IDC_STORAGE), "Hard disk");
  Click(combo);
  ASSERT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  HWND list = GetCapture();
  ASSERT_NE(list, nullptr);
  RECT field, drop;
  GetWindowRect(combo, &field);
  GetWindowRect(list, &drop);
  EXPECT_EQ(drop.top, field.bottom);
  int row = (drop.bottom - drop.top - 2) / 2;
  ClickAt((drop.left + drop.right) / 2, drop.top + 1 + row + row / 2);  // the second row
  EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Text(IDC_STORAGE), "SD");
  std::vector<Command> commands = TakeCommands();
  EXPECT_EQ(commands.back(), (Command{IDC_STORAGE, CBN_SELCHANGE}));

  // Open again and click away: nothing changes.
  Click(combo);
  ASSERT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  ClickAt(field.left + 5, field.top - 40);
  EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
  commands = TakeCommands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), Command{IDC_STORAGE, CBN_SELCHANGE}), 0);
}

TEST_F(ControlsTest, ALongComboListScrollsByItsBarAndKeepsOpen) {
  Open(IDD_SEARCH_EN);
  HWND combo = Item(IDC_STORAGE);
  for (int i = 1; i <= 255; ++i) {
    std::string n = std::to_string(i);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n.c_str()));
  }
  Click(combo);
  HWND list = GetCapture();
  ASSERT_NE(list, nullptr);
  RECT client;
  GetClientRect(list, &client);
  auto at = [&](int x, int y) {
    POINT p{x, y};
    ClientToScreen(list, &p);
    return p;
  };
  POINT down = at(client.right - 8, client.bottom - 8);
  ClickAt(down.x, down.y);  // a row down, and the list stays open
  ASSERT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  // Drag the thumb to the bottom, then pick the last row shown: the last item.
  auto& in = display_->input();
  POINT thumb = at(client.right - 8, 16 + 4);  // just below the up arrow, near the top
  in.MoveTo(thumb.x, thumb.y);
  in.Press(platform::display::Button::kLeft, thumb.x, thumb.y);
  Pump();
  in.MoveTo(thumb.x, thumb.y + 2000);
  Pump();
  in.Release(platform::display::Button::kLeft, thumb.x, thumb.y + 2000);
  in.Wait(1000);
  Pump();
  ASSERT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  POINT last = at(10, client.bottom - 4);
  ClickAt(last.x, last.y);
  EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), SendMessageA(combo, CB_GETCOUNT, 0, 0) - 1);
}

TEST_F(ControlsTest, ComboKeyboardChangesSelectionAndEnterInTheListIsTheCombos) {
  Open(IDD_SEARCH_EN);
  HWND combo = Item(IDC_STORAGE);
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
  Key(VK_DOWN);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
  Key(VK_DOWN);  // at the end already
  Key(VK_UP);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
  std::vector<Command> changes = TakeCommands();
  EXPECT_EQ(std::count(changes.begin(), changes.end(), Command{IDC_STORAGE, CBN_SELCHANGE}), 2);
  // F4 drops; Down moves in the list; Enter takes it and does not press the default button.
  Key(VK_F4);
  ASSERT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  Key(VK_DOWN);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
  Key(VK_RETURN);
  EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
  std::vector<Command> commands = TakeCommands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), Command{IDC_SEARCH, BN_CLICKED}), 0);
  EXPECT_EQ(commands.back(), (Command{IDC_STORAGE, CBN_SELCHANGE}));
  // Esc in the open list closes it and keeps the dialog open.
  Key(VK_F4);
  Key(VK_UP);
  Key(VK_ESCAPE);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
  commands = TakeCommands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), Command{IDCANCEL, BN_CLICKED}), 0);
  // A disabled combo does not open.
  EnableWindow(combo, FALSE);
  Click(combo);
  EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
}

TEST_F(ControlsTest, ListBoxRowsByMouseAndKeyboardWithItemData) {
  Open(IDD_SEARCH_EN);
  HWND list = Item(IDC_RESULTS);
  LRESULT height = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
  RECT r;
  GetWindowRect(list, &r);
  POINT origin{0, 0};
  ClientToScreen(list, &origin);
  ClickAt(origin.x + 20, origin.y + static_cast<int>(height) + 2);  // the second row
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 1, 0), 101);
  Key(VK_DOWN);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
  Key(VK_HOME);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
  display_->input().DoubleClick(origin.x + 20, origin.y + static_cast<int>(height) * 2 + 2);
  Pump();
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
  std::vector<Command> commands = TakeCommands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back(), (Command{IDC_RESULTS, LBN_DBLCLK}));
  EXPECT_EQ(std::count(commands.begin(), commands.end(), Command{IDC_RESULTS, LBN_SELCHANGE}), 4);
  char text[128];
  EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 9, reinterpret_cast<LPARAM>(text)), LB_ERR);
  EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 0, 0), 2);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
}

TEST_F(ControlsTest, ListBoxScrollBarScrollsByArrowPageAndThumb) {
  Open(IDD_SEARCH_EN);
  HWND list = Item(IDC_RESULTS);
  for (int i = 0; i < 40; ++i) {
    std::string row = "row " + std::to_string(i);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  }
  Pump();
  RECT client;
  GetClientRect(list, &client);
  auto at = [&](int x, int y) {
    POINT p{x, y};
    ClientToScreen(list, &p);
    return p;
  };
  POINT down = at(client.right - 8, client.bottom - 8);
  ClickAt(down.x, down.y);
  EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 1);
  POINT track = at(client.right - 8, client.bottom - 24);
  ClickAt(track.x, track.y);  // a page down
  LRESULT rows = client.bottom / SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
  EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 1 + rows - 1);
  // Dragging the thumb to the bottom shows the last rows; rows keep their selection.
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), -1);
  RECT r;
  GetWindowRect(list, &r);
  auto& in = display_->input();
  LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
  LRESULT total = SendMessageA(list, LB_GETCOUNT, 0, 0);
  int track_px = client.bottom - 32;
  int length = std::max(8, static_cast<int>(track_px * rows / total));
  int thumb_y = 16 + static_cast<int>((track_px - length) * top / (total - rows)) + 3;
  POINT grab = at(client.right - 8, thumb_y);
  in.MoveTo(grab.x, grab.y);
  in.Press(platform::display::Button::kLeft, grab.x, grab.y);
  Pump();  // the press takes the capture before the mouse moves on
  in.MoveTo(grab.x, r.bottom + 200);
  in.Release(platform::display::Button::kLeft, grab.x, r.bottom + 200);
  Pump();
  EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), total - rows);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), -1);
}

}  // namespace
}  // namespace platform::ui::test

namespace platform::ui::test {
namespace {

// A dark dialog as the device dialogs make it: WM_CTLCOLOR* brushes and an owner-drawn button.
std::vector<UINT> g_draw_states;
HBRUSH g_dark = nullptr;

INT_PTR DarkProc(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      SetTextColor(reinterpret_cast<HDC>(wparam), RGB(255, 255, 255));
      SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(g_dark);
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      g_draw_states.push_back(dis->itemState);
      SetDCBrushColor(dis->hDC, (dis->itemState & ODS_SELECTED) ? RGB(200, 0, 0) : RGB(0, 200, 0));
      FillRect(dis->hDC, &dis->rcItem, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
      return TRUE;
    }
    case WM_COMMAND:
      Commands().push_back(Command{LOWORD(wparam), HIWORD(wparam)});
      return TRUE;
    default:
      return FALSE;
  }
}

TEST_F(DialogTest, OwnerDrawnButtonsAndParentColoursPaintAsTheDialogSays) {
  g_dark = CreateSolidBrush(RGB(32, 48, 64));
  static const DialogItemTemplate kItems[] = {
      {"STATIC", "Preset", -1, WS_VISIBLE | SS_LEFT, 0, 5, 5, 60, 10},
      {"BUTTON", "", 1015, WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, 5, 20, 30, 20},
  };
  static const DialogTemplate kDark{
      0, nullptr, WS_POPUP | WS_VISIBLE, 0, 10, 10, 80, 50, "", nullptr, 0, kItems, 2};
  dialog_ = CreateDialogIndirectParamA(nullptr, &kDark, nullptr, DarkProc, 0);
  ASSERT_NE(dialog_, nullptr);
  Pump();
  HWND button = Item(1015);
  RECT b, whole;
  GetWindowRect(button, &b);
  GetWindowRect(dialog_, &whole);
  auto pixel = [&](int x, int y) {
    std::lock_guard<std::mutex> lock(display_->framebuffer().mutex());
    return display_->framebuffer().Pixel(x, y);
  };
  EXPECT_EQ(pixel(whole.right - 3, whole.bottom - 3), 0x203040u);  // the dialog's own brush
  EXPECT_EQ(pixel(b.left + 3, b.top + 3), 0x00C800u);              // drawn by the dialog
  auto& in = display_->input();
  POINT c = Centre(button);
  in.MoveTo(c.x, c.y);
  in.Press(platform::display::Button::kLeft, c.x, c.y);
  Pump();
  EXPECT_EQ(pixel(b.left + 3, b.top + 3), 0xC80000u);
  ASSERT_FALSE(g_draw_states.empty());
  EXPECT_TRUE(g_draw_states.back() & ODS_SELECTED);
  EXPECT_TRUE(g_draw_states.back() & ODS_FOCUS);
  in.Release(platform::display::Button::kLeft, c.x, c.y);
  Pump();
  EXPECT_EQ(TakeClicks(), (std::vector<int>{1015}));
  // White label text on the dark brush: some pixels of the label are white.
  RECT label{whole.left + 8, whole.top + 8, whole.left + 50, whole.top + 22};
  int white = 0;
  for (int y = label.top; y < label.bottom; ++y) {
    for (int x = label.left; x < label.right; ++x) white += pixel(x, y) == 0xFFFFFFu;
  }
  EXPECT_GT(white, 10);
  DestroyWindow(dialog_);
  dialog_ = nullptr;
  DeleteObject(g_dark);
}

}  // namespace
}  // namespace platform::ui::test
