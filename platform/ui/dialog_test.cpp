#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/ui/dialog_message_box.h"
#include "platform/ui/dialog_test_fixture.h"

namespace platform::ui::test {
namespace {

class DialogManagerTest : public DialogTest {};

TEST_F(DialogManagerTest, ControlsArePlacedInDialogUnitsOfTheDialogFont) {
  Open(IDD_SEARCH_EN);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog_, WM_GETFONT, 0, 0)));
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SIZE abc{};
  GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &abc);
  SelectObject(dc, old);
  DeleteDC(dc);
  int cx = (abc.cx / 26 + 1) / 2, cy = tm.tmHeight;
  ASSERT_GT(cx, 2);

  // The result list: 7, 94, 286 x 74 dialog units.
  RECT list;
  GetWindowRect(Item(IDC_RESULTS), &list);
  POINT origin{0, 0};
  ClientToScreen(dialog_, &origin);
  EXPECT_NEAR(list.left - origin.x, 7 * cx / 4, 1);
  EXPECT_NEAR(list.top - origin.y, 94 * cy / 8, 1);
  EXPECT_NEAR(list.right - list.left, 286 * cx / 4, 1);
  RECT client;
  GetClientRect(dialog_, &client);
  EXPECT_NEAR(client.right, 300 * cx / 4, 1);
  EXPECT_NEAR(client.bottom, 196 * cy / 8, 1);
  RECT mapped{0, 0, 4, 8};
  ASSERT_TRUE(MapDialogRect(dialog_, &mapped));
  EXPECT_EQ(mapped.right, cx);
  EXPECT_EQ(mapped.bottom, cy);

  // DS_CENTER: centred on the desktop.
  RECT whole;
  GetWindowRect(dialog_, &whole);
  EXPECT_NEAR((whole.left + whole.right) / 2, 400, 1);
  EXPECT_NEAR((whole.top + whole.bottom) / 2, 300, 1);
}

TEST_F(DialogManagerTest, TabAndShiftTabFollowCreationOrderSkippingDisabledAndStatics) {
  Open(IDD_SEARCH_EN);
  // WM_INITDIALOG answered TRUE: the first tab stop has the focus.
  EXPECT_EQ(GetFocus(), Item(IDC_CH1));
  const int order[] = {IDC_CH2,    IDC_CH3,   IDC_CH4,  IDC_NORMAL,  IDC_MOTION, IDC_ALARM,
                       IDC_MANUAL, IDC_START, IDC_END,  IDC_STORAGE, IDC_NEWEST, IDC_RESULTS,
                       IDC_SEARCH, IDC_PLAY,  IDCANCEL, IDC_CH1};
  for (int id : order) {
    Key(VK_TAB);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), id);
  }
  KeyWith(VK_SHIFT, VK_TAB);
  EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDCANCEL);
  KeyWith(VK_SHIFT, VK_TAB);
  EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_PLAY);
  // Tabbing into an edit selects its text.
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_START)), TRUE);
  DWORD start = 1, end = 0;
  SendMessageA(Item(IDC_START), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, std::strlen("2024-05-01 00:00:00"));
}

TEST_F(DialogManagerTest, ArrowsMoveWithinARadioGroupAndCheckAsTheyGo) {
  Open(IDD_SEARCH_EN);
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_NEWEST)), TRUE);
  Key(VK_DOWN);
  EXPECT_EQ(GetFocus(), Item(IDC_OLDEST));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_OLDEST), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_NEWEST), BST_UNCHECKED);
  Key(VK_DOWN);  // the group wraps
  EXPECT_EQ(GetFocus(), Item(IDC_NEWEST));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_NEWEST), BST_CHECKED);
  // Tabbing back into the group lands on its checked button.
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_STORAGE)), TRUE);
  CheckRadioButton(dialog_, IDC_NEWEST, IDC_OLDEST, IDC_OLDEST);
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), Item(IDC_OLDEST));
}

TEST_F(DialogManagerTest, EnterPressesTheDefaultOrFocusedButtonAndEscCancels) {
  Open(IDD_SEARCH_EN);
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_START)), TRUE);
  Key(VK_RETURN);
  EXPECT_EQ(TakeClicks(), (std::vector<int>{IDC_SEARCH}));
  EXPECT_EQ(LOWORD(SendMessageA(dialog_, DM_GETDEFID, 0, 0)), IDC_SEARCH);

  // A focused push button takes the default look and Enter presses it.
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_PLAY)), TRUE);
  EXPECT_EQ(GetWindowLongA(Item(IDC_PLAY), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongA(Item(IDC_SEARCH), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  Key(VK_RETURN);
  EXPECT_EQ(TakeClicks(), (std::vector<int>{IDC_PLAY}));
  // Leaving the buttons gives the look back to the dialog's default.
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_END)), TRUE);
  EXPECT_EQ(GetWindowLongA(Item(IDC_SEARCH), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

  Key(VK_ESCAPE);
  EXPECT_EQ(TakeClicks(), (std::vector<int>{IDCANCEL}));
}

TEST_F(DialogManagerTest, DisabledButtonsSendNothingByMouseKeyOrEnter) {
  Open(IDD_SEARCH_EN);
  Click(Item(IDC_DOWNLOAD));
  SendMessageA(Item(IDC_DOWNLOAD), BM_CLICK, 0, 0);
  EXPECT_TRUE(TakeClicks().empty());

  // A disabled default button: Enter does nothing; a disabled cancel button: Esc neither.
  EnableWindow(Item(IDC_SEARCH), FALSE);
  EnableWindow(Item(IDCANCEL), FALSE);
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_START)), TRUE);
  Key(VK_RETURN);
  Key(VK_ESCAPE);
  Click(Item(IDC_SEARCH));
  EXPECT_TRUE(TakeClicks().empty());
  EnableWindow(Item(IDC_SEARCH), TRUE);
  Click(Item(IDC_SEARCH));
  EXPECT_EQ(TakeClicks(), (std::vector<int>{IDC_SEARCH}));
}

TEST_F(DialogManagerTest, AClickReleasedOutsideAButtonSendsNothing) {
  Open(IDD_SEARCH_EN);
  POINT p = Centre(Item(IDC_PLAY));
  RECT r;
  GetWindowRect(Item(IDC_PLAY), &r);
  auto& in = display_->input();
  in.MoveTo(p.x, p.y);
  in.Press(platform::display::Button::kLeft, p.x, p.y);
  Pump();
  EXPECT_TRUE(SendMessageA(Item(IDC_PLAY), BM_GETSTATE, 0, 0) & BST_PUSHED);
  in.MoveTo(r.right + 20, p.y);
  in.Release(platform::display::Button::kLeft, r.right + 20, p.y);
  Pump();
  EXPECT_FALSE(SendMessageA(Item(IDC_PLAY), BM_GETSTATE, 0, 0) & BST_PUSHED);
  EXPECT_TRUE(TakeClicks().empty());
}

TEST_F(DialogManagerTest, ItemTextIntegerAndCheckCalls) {
  Open(IDD_CONFIRM);
  EXPECT_TRUE(SetDlgItemInt(dialog_, IDC_COUNT, static_cast<UINT>(-42), TRUE));
  BOOL ok = FALSE;
  EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog_, IDC_COUNT, &ok, TRUE)), -42);
  EXPECT_TRUE(ok);
  EXPECT_EQ(GetDlgItemInt(dialog_, IDC_COUNT, &ok, FALSE), 0u);  // no sign when unsigned
  EXPECT_FALSE(ok);
  for (const char* bad : {"", "12x", "99999999999", "  ", "4294967296"}) {
    SetDlgItemTextA(dialog_, IDC_NAME, bad);
    GetDlgItemInt(dialog_, IDC_NAME, &ok, FALSE);
    EXPECT_FALSE(ok) << bad;
  }
  SetDlgItemTextA(dialog_, IDC_NAME, " 4294967295");
  EXPECT_EQ(GetDlgItemInt(dialog_, IDC_NAME, &ok, FALSE), 4294967295u);
  EXPECT_TRUE(ok);
  char text[8];
  SetDlgItemTextA(dialog_, IDC_NAME, "a longer name");
  EXPECT_EQ(GetDlgItemTextA(dialog_, IDC_NAME, text, sizeof(text)), 7u);
  EXPECT_STREQ(text, "a longe");
  EXPECT_EQ(GetDlgItemTextA(dialog_, 4242, text, sizeof(text)), 0u);
  EXPECT_STREQ(text, "");
  EXPECT_FALSE(CheckDlgButton(dialog_, 4242, BST_CHECKED));
}

TEST_F(DialogManagerTest, ModalDialogDisablesItsOwnerAndGivesEndDialogsResult) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                               nullptr, nullptr, nullptr);
  static HWND s_owner;
  static bool s_owner_enabled_inside;
  s_owner = owner;
  SetFocus(owner);
  auto proc = [](HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) -> INT_PTR {
    if (message == WM_INITDIALOG) {
      SetTimer(dialog, 1, 10, nullptr);
      SetTimer(dialog, 2, 5000, nullptr);  // the test's bound: Enter never arrived
      SetDlgItemTextA(dialog, IDC_NAME, reinterpret_cast<const char*>(lparam));
      return TRUE;
    }
    if (message == WM_TIMER && wparam == 2) {
      EndDialog(dialog, -2);
      return TRUE;
    }
    if (message == WM_TIMER) {
      s_owner_enabled_inside = IsWindowEnabled(s_owner);
      KillTimer(dialog, 1);
      InputKey(VK_RETURN, true, GetTickCount());  // Enter as the person would press it
      InputKey(VK_RETURN, false, GetTickCount() + 60);
      return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
      char name[32];
      GetDlgItemTextA(dialog, IDC_NAME, name, sizeof(name));
      EndDialog(dialog, std::strcmp(name, "camera") == 0 ? 77 : 1);
      return TRUE;
    }
    return FALSE;
  };
  INT_PTR result = DialogBoxParamA(SampleDialogs(), MAKEINTRESOURCEA(IDD_CONFIRM), owner, proc,
                                   reinterpret_cast<LPARAM>("camera"));
  EXPECT_EQ(result, 77);
  EXPECT_FALSE(s_owner_enabled_inside);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(GetFocus(), owner);  // the focus went back where it was
  EXPECT_EQ(CurrentModalDialog(), nullptr);
  EXPECT_EQ(DialogBoxParamA(SampleDialogs(), MAKEINTRESOURCEA(999), owner, proc, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  DestroyWindow(owner);
}

TEST_F(DialogManagerTest, EndingAModalDialogBeforeItsLoopOrByClosingDoesNotHang) {
  // EndDialog inside WM_INITDIALOG: the box never shows and its result comes back at once.
  auto early = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) EndDialog(dialog, 5);
    return FALSE;
  };
  EXPECT_EQ(DialogBoxParamA(SampleDialogs(), MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, early, 0), 5);
  // The close box (WM_CLOSE) reaches the dialog as IDCANCEL.
  auto closing = [](HWND dialog, UINT message, WPARAM wparam, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) PostMessageA(dialog, WM_CLOSE, 0, 0);
    if (message == WM_COMMAND) EndDialog(dialog, LOWORD(wparam) == IDCANCEL ? 9 : 0);
    return message == WM_COMMAND;
  };
  EXPECT_EQ(DialogBoxParamA(SampleDialogs(), MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, closing, 0),
            9);
  // WM_QUIT ends the loop and is posted again for the caller's own loop.
  auto quitting = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) PostQuitMessage(3);
    return FALSE;
  };
  DialogBoxParamA(SampleDialogs(), MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, quitting, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_EQ(CurrentModalDialog(), nullptr);
}

TEST_F(DialogManagerTest, ADockedChildDialogJoinsItsParentsTabOrder) {
  Open(IDD_HOST);
  HWND panel =
      CreateDialogParamA(SampleDialogs(), MAKEINTRESOURCEA(IDD_PANEL), dialog_, SampleProc, 0);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(GetParent(panel), dialog_);
  EXPECT_TRUE(GetWindowLongA(panel, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
  // A loop serves the panel's controls through the outermost dialog.
  EXPECT_EQ(DialogForMessage(GetDlgItem(panel, IDC_PANEL_UP)), dialog_);
  EXPECT_EQ(DialogForMessage(GetDesktopWindow()), nullptr);
  SetWindowPos(panel, nullptr, 200, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(panel, SW_SHOW);
  Pump();
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_NAME)), TRUE);
  std::vector<HWND> seen;
  for (int i = 0; i < 5; ++i) {
    Key(VK_TAB);
    seen.push_back(GetFocus());
  }
  EXPECT_EQ(seen, (std::vector<HWND>{Item(IDOK), GetDlgItem(panel, IDC_PANEL_UP),
                                     GetDlgItem(panel, IDC_PANEL_DOWN),
                                     GetDlgItem(panel, IDC_PANEL_ZOOM), Item(IDC_NAME)}));
  // The panel's buttons tell the panel; Space on its check box checks it.
  Click(GetDlgItem(panel, IDC_PANEL_UP));
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(panel, IDC_PANEL_ZOOM)),
               TRUE);
  Key(VK_SPACE);
  EXPECT_EQ(IsDlgButtonChecked(panel, IDC_PANEL_ZOOM), BST_CHECKED);
  EXPECT_EQ(TakeClicks(), (std::vector<int>{IDC_PANEL_UP, IDC_PANEL_ZOOM}));
}

TEST_F(DialogManagerTest, DraggingTheCaptionMovesAndTheThickFrameResizes) {
  Open(IDD_SIZABLE);
  RECT before;
  GetWindowRect(dialog_, &before);
  auto& in = display_->input();
  int x = before.left + 30, y = before.top + 10;  // on the caption
  in.MoveTo(x, y);
  in.Press(platform::display::Button::kLeft, x, y);
  Pump();
  in.MoveTo(x + 50, y + 40);
  Pump();
  in.Release(platform::display::Button::kLeft, x + 50, y + 40);
  Pump();
  RECT moved;
  GetWindowRect(dialog_, &moved);
  EXPECT_EQ(moved.left, before.left + 50);
  EXPECT_EQ(moved.top, before.top + 40);
  EXPECT_EQ(moved.right - moved.left, before.right - before.left);

  in.Wait(1000);
  x = moved.right - 2, y = moved.bottom - 2;  // the bottom-right corner
  in.MoveTo(x, y);
  in.Press(platform::display::Button::kLeft, x, y);
  Pump();
  in.MoveTo(x + 60, y + 30);
  in.Release(platform::display::Button::kLeft, x + 60, y + 30);
  Pump();
  RECT sized;
  GetWindowRect(dialog_, &sized);
  EXPECT_EQ(sized.left, moved.left);
  EXPECT_EQ(sized.right, moved.right + 60);
  EXPECT_EQ(sized.bottom, moved.bottom + 30);
  // It cannot be made smaller than its caption needs.
  in.Wait(1000);
  x = sized.right - 2, y = sized.bottom - 2;
  in.MoveTo(x, y);
  in.Press(platform::display::Button::kLeft, x, y);
  in.MoveTo(sized.left - 100, sized.top - 100);
  in.Release(platform::display::Button::kLeft, sized.left - 100, sized.top - 100);
  Pump();
  RECT small;
  GetWindowRect(dialog_, &small);
  EXPECT_GE(small.right - small.left, 80);
  EXPECT_GE(small.bottom - small.top, 40);
}

TEST_F(DialogManagerTest, ANewCaptionIsPainted) {
  Open(IDD_CONFIRM);
  RECT whole;
  GetWindowRect(dialog_, &whole);
  RECT band{whole.left + 4, whole.top + 3, whole.right - 24, whole.top + 20};
  auto caption_ink = [&] {
    std::lock_guard<std::mutex> lock(display_->framebuffer().mutex());
    int n = 0;
    for (int y = band.top; y < band.bottom; ++y) {
      for (int x = band.left; x < band.right; ++x)
        n += display_->framebuffer().Pixel(x, y) == 0xFFFFFFu;
    }
    return n;
  };
  int before = caption_ink();
  SetWindowTextA(dialog_, "A much longer caption than before");
  Pump();
  EXPECT_GT(caption_ink(), before + 20);
}

TEST_F(DialogManagerTest, ADialogWithAnUnknownControlClassIsNotMade) {
  static const DialogItemTemplate kItems[] = {{"NoSuchClass", "", 1, WS_VISIBLE, 0, 0, 0, 10, 10}};
  static const DialogTemplate kBad{0,  nullptr, WS_POPUP, 0, 0,      0, 40,
                                   40, "",      nullptr,  0, kItems, 1};
  EXPECT_EQ(CreateDialogIndirectParamA(nullptr, &kBad, nullptr, SampleProc, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(DialogManagerTest, BitmapsCompiledIntoTheModuleLoadAsBitmaps) {
  HBITMAP tiny = LoadBitmapA(SampleDialogs(), MAKEINTRESOURCEA(IDB_TINY));
  ASSERT_NE(tiny, nullptr);
  BITMAP bm{};
  ASSERT_NE(GetObjectA(tiny, sizeof(bm), &bm), 0);
  EXPECT_EQ(bm.bmWidth, 2);
  EXPECT_EQ(bm.bmHeight, 2);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, tiny);
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(255, 0, 0));  // the file's bottom row, first pixel
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 255, 255));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(tiny);
  EXPECT_EQ(FindBitmapResource(SampleDialogs(), MAKEINTRESOURCEA(181)), nullptr);

  // Any other file comes back byte for byte, by type name and number.
  HRSRC data = FindResourceA(SampleDialogs(), MAKEINTRESOURCEA(1), "rcdata");
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(SizeofResource(SampleDialogs(), data), 5u);
  EXPECT_EQ(std::memcmp(LockResource(LoadResource(SampleDialogs(), data)), "tiny\n", 5), 0);
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(1), "RCDATA"), data);
  EXPECT_EQ(FindResourceA(SampleDialogs(), MAKEINTRESOURCEA(2), "RCDATA"), nullptr);
  EXPECT_EQ(FindResourceA(SampleDialogs(), MAKEINTRESOURCEA(1), "TYPELIB"), nullptr);
}

TEST_F(DialogManagerTest, StringsAndDialogsAreFoundInTheirModule) {
  char text[64];
  EXPECT_EQ(LoadStringA(SampleDialogs(), IDS_HARD_DISK, text, sizeof(text)), 9);
  EXPECT_STREQ(text, "Hard disk");
  EXPECT_EQ(LoadStringA(SampleDialogs(), 1, text, sizeof(text)), 0);
  EXPECT_EQ(LoadStringA(SampleDialogs(), IDS_TITLE, text, 7), 6);
  EXPECT_STREQ(text, "Record");
  const DialogTemplate* zh = FindDialogTemplate(nullptr, MAKEINTRESOURCEA(IDD_SEARCH_ZH));
  ASSERT_NE(zh, nullptr);
  // The source's UTF-8 became GBK: "录像查询".
  EXPECT_STREQ(zh->caption, "\xC2\xBC\xCF\xF1\xB2\xE9\xD1\xAF");
}

}  // namespace
}  // namespace platform::ui::test

namespace platform::ui::test {
namespace {

// Renders the record search dialog as a person sees it, in both languages, and checks what
// must be there; set ORVIX_DIALOG_PNG_DIR to keep the pictures.
class SampleScreenshotTest : public DialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(SampleScreenshotTest, RendersCaptionControlsAndText) {
  Open(GetParam());
  CheckDlgButton(dialog_, IDC_CH1, BST_CHECKED);
  CheckDlgButton(dialog_, IDC_NORMAL, BST_CHECKED);
  SendDlgItemMessageA(dialog_, IDC_RESULTS, LB_SETCURSEL, 1, 0);
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_START)), TRUE);
  Pump();
  auto& fb = display_->framebuffer();
  RECT whole, search, start;
  GetWindowRect(dialog_, &whole);
  GetWindowRect(Item(IDC_SEARCH), &search);
  GetWindowRect(Item(IDC_START), &start);
  {
    std::lock_guard<std::mutex> lock(fb.mutex());
    // The caption band, the dialog face, the edit field's white and the selected text's blue.
    EXPECT_EQ(fb.Pixel(whole.left + 4, whole.top + 5), 0x284870u);
    EXPECT_EQ(fb.Pixel(whole.left + 8, whole.bottom - 8), 0xF0F0F0u);
    EXPECT_EQ(fb.Pixel(start.right - 4, start.top + 3), 0xFFFFFFu);
    int blue = 0, ink = 0;
    for (int y = start.top; y < start.bottom; ++y) {
      for (int x = start.left; x < start.right; ++x) blue += fb.Pixel(x, y) == 0x0078D7u;
    }
    for (int y = search.top + 3; y < search.bottom - 3; ++y) {
      for (int x = search.left + 3; x < search.right - 3; ++x) ink += fb.Pixel(x, y) < 0x808080u;
    }
    EXPECT_GT(blue, 100);
    EXPECT_GT(ink, 20);  // the button's label
  }
  if (const char* dir = std::getenv("ORVIX_DIALOG_PNG_DIR")) {
    std::string error;
    std::string path =
        std::string(dir) + "/search_" + (GetParam() == IDD_SEARCH_EN ? "en" : "zh") + ".png";
    EXPECT_TRUE(display_->Screenshot(path, &error)) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, SampleScreenshotTest,
                         ::testing::Values(IDD_SEARCH_EN, IDD_SEARCH_ZH));

}  // namespace
}  // namespace platform::ui::test

namespace platform::ui::test {
namespace {

// A message box as a dialog: its buttons, its default, Esc, and what a click answers.
class MessageBoxTest : public DialogTest {};

TEST_F(MessageBoxTest, ButtonsDefaultsAndEscapeAnswerAsTheTypeSays) {
  static std::vector<std::string> s_buttons;
  static std::vector<UINT> s_keys;
  static platform::display::InputInjector* s_input;
  s_input = &display_->input();
  UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND box = CurrentModalDialog();
    if (box == nullptr || s_keys.empty()) return;
    s_buttons.clear();
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      char text[32];
      GetWindowTextA(c, text, sizeof(text));
      if (GetDlgCtrlID(c) != 0xFFFF) s_buttons.push_back(text);
    }
    UINT key = s_keys.front();
    s_keys.erase(s_keys.begin());
    if (const char* dir = std::getenv("ORVIX_DIALOG_PNG_DIR")) {  // to look at the box
      UpdateWindow(box);
      std::string error;
      platform::display::Display::Current()->Screenshot(std::string(dir) + "/message_box.png",
                                                        &error);
    }
    s_input->Key(key);
  });
  s_keys = {VK_RETURN};
  EXPECT_EQ(DialogPrompt(nullptr, "Delete the record?", "prompt", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(s_buttons, (std::vector<std::string>{"Yes", "No"}));
  s_keys = {VK_ESCAPE};
  EXPECT_EQ(DialogPrompt(nullptr, "Stop?", "prompt", MB_OKCANCEL), IDCANCEL);
  s_keys = {VK_ESCAPE, VK_TAB, VK_RETURN};  // Esc means nothing to yes/no; Tab to "No"
  EXPECT_EQ(DialogPrompt(nullptr, "Really?", "prompt", MB_YESNO), IDNO);
  s_keys = {VK_ESCAPE};
  EXPECT_EQ(DialogPrompt(nullptr, "success,picture store in:/tmp", "prompt info", MB_OK), IDOK);
  EXPECT_EQ(s_buttons, (std::vector<std::string>{"OK"}));
  KillTimer(nullptr, timer);
}

}  // namespace
}  // namespace platform::ui::test
