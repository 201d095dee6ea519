#include "tools/orvix/control_actions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/dialog.h"
#include "platform/ui/dialog_resource.h"
#include "platform/ui/ui.h"

namespace orvix {
namespace {

using platform::display::InputInjector;
using platform::ui::DialogItemTemplate;
using platform::ui::DialogTemplate;

const DialogItemTemplate kItems[] = {
    {"EDIT", "", 10, WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 5, 5, 80, 13},
    {"BUTTON", "Zoom", 11, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 5, 22, 60, 10},
    {"COMBOBOX", "", 12, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 5, 36, 80, 60},
    {"LISTBOX", "", 13, WS_VISIBLE | WS_TABSTOP | WS_BORDER | LBS_NOTIFY, 0, 5, 54, 120, 40},
    {"BUTTON", "Go", 14, WS_VISIBLE | WS_TABSTOP, 0, 5, 100, 50, 14},
    {"BUTTON", "Off", 15, WS_VISIBLE | WS_TABSTOP | WS_DISABLED, 0, 60, 100, 50, 14},
};
const DialogTemplate kDialog{
    0,      nullptr, WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 10, 10, 140, 120, "Script", nullptr, 0,
    kItems, 6};

std::vector<std::pair<int, int>> g_commands;

INT_PTR Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    for (const char* s : {"Hard disk", "SD", "USB"}) {
      SendDlgItemMessageA(dialog, 12, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    }
    for (const char* s : {"one", "two", "three", "four", "five", "six", "seven", "eight"}) {
      SendDlgItemMessageA(dialog, 13, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    }
    return TRUE;
  }
  if (message == WM_COMMAND) {
    g_commands.emplace_back(LOWORD(wparam), HIWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

class ControlActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = platform::display::Display::CreateHeadless(640, 480, &error);
    ASSERT_NE(display_, nullptr) << error;
    dialog_ = CreateDialogIndirectParamA(nullptr, &kDialog, nullptr, Proc, 0);
    ASSERT_NE(dialog_, nullptr);
    Pump();
    g_commands.clear();
  }
  void TearDown() override {
    DestroyWindow(dialog_);
    Pump();
  }
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageA(dialog_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }
  // Parses and plays the script line by line, serving the dialog after each.
  std::string Play(const std::string& script) {
    for (const InputStep& step : ParseInputScript(script)) {
      std::string error;
      if (!PlayControlStep(step, display_->input(), &error)) return error;
      Pump();
    }
    return "";
  }
  int Clicks(int id) {
    int n = 0;
    for (auto [i, code] : g_commands) n += i == id && code == BN_CLICKED;
    return n;
  }
  std::unique_ptr<platform::display::Display> display_;
  HWND dialog_ = nullptr;
};

TEST_F(ControlActionsTest, ActionsReachTheControlsAsMouseAndKeys) {
  EXPECT_EQ(Play("0 click 14\n0 click 15\n0 check 11\n0 check 11\n0 choose 12 2\n"
                 "0 choose 12 \"SD\"\n0 row 13 6\n"),
            "");
  EXPECT_EQ(Clicks(14), 1);
  EXPECT_EQ(Clicks(15), 0);  // disabled: nothing
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 11), BST_CHECKED);
  EXPECT_EQ(Clicks(11), 1);  // already checked the second time
  EXPECT_EQ(SendDlgItemMessageA(dialog_, 12, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendDlgItemMessageA(dialog_, 13, LB_GETCURSEL, 0, 0), 6);  // scrolled into view

  EXPECT_EQ(Play("0 click 10\n0 type \"cam 中\"\n0 key shift+home\n0 key ctrl+x\n0 type ok\n"), "");
  char text[32];
  GetDlgItemTextA(dialog_, 10, text, sizeof(text));
  EXPECT_STREQ(text, "ok");
  EXPECT_EQ(Play("0 click 10\n0 key ctrl+v\n"), "");
  GetDlgItemTextA(dialog_, 10, text, sizeof(text));
  EXPECT_STREQ(text, "okcam \xD6\xD0");  // typed UTF-8 went in as GBK

  EXPECT_EQ(Play("0 key enter\n"), "");
  EXPECT_EQ(Clicks(IDOK), 1);
}

TEST_F(ControlActionsTest, ActionsOnWhatIsNotThereFailClearly) {
  EXPECT_EQ(Play("0 click 99\n"), "no control 99 in the top dialog");
  EXPECT_EQ(Play("0 choose 12 7\n"), "combo box 12 has 3 items, no item 7");
  EXPECT_EQ(Play("0 choose 12 \"Tape\"\n"), "no item \"Tape\" in combo box 12");
  EXPECT_EQ(Play("0 row 13 8\n"), "list 13 has 8 rows, no row 8");
  EXPECT_EQ(Play("0 slide 14 5\n"), "control 14 is not a slider");
  EXPECT_EQ(Play("0 file \"/tmp/x.avi\"\n"), "no file or folder dialog is open");
  ShowWindow(dialog_, SW_HIDE);
  EXPECT_EQ(Play("0 click 14\n"), "no control 14 in the top dialog");
}

// The common controls, as the device dialogs use them: a slider, a report list, a picker.
TEST(ControlActionsCommonTest, SlideRowsAndDatesReachTheCommonControls) {
  std::string error;
  auto display = platform::display::Display::CreateHeadless(640, 480, &error);
  ASSERT_NE(display, nullptr) << error;
  InitCommonControls();
  static const DialogItemTemplate kItems[] = {
      {TRACKBAR_CLASSA, "", 20, WS_VISIBLE | WS_TABSTOP, 0, 5, 5, 120, 16},
      {WC_LISTVIEWA, "", 21, WS_VISIBLE | WS_BORDER | LVS_REPORT, 0, 5, 25, 120, 60},
      {DATETIMEPICK_CLASSA, "", 22, WS_VISIBLE | WS_TABSTOP, 0, 5, 90, 100, 13},
  };
  static const DialogTemplate kCommon{
      0, nullptr, WS_POPUP | WS_VISIBLE, 0, 10, 10, 140, 110, "", nullptr, 0, kItems, 3};
  static std::vector<UINT> s_notes;
  s_notes.clear();
  HWND dialog = CreateDialogIndirectParamA(
      nullptr, &kCommon, nullptr,
      [](HWND, UINT message, WPARAM, LPARAM lparam) -> INT_PTR {
        if (message == WM_NOTIFY) s_notes.push_back(reinterpret_cast<NMHDR*>(lparam)->code);
        return message == WM_INITDIALOG;
      },
      0);
  ASSERT_NE(dialog, nullptr);
  HWND bar = GetDlgItem(dialog, 20), list = GetDlgItem(dialog, 21), picker = GetDlgItem(dialog, 22);
  SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
  char title[] = "Channel";
  LVCOLUMNA column{LVCF_TEXT | LVCF_WIDTH, 0, 100, title, 0, 0};
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  for (int i = 0; i < 12; ++i) {
    std::string text = "channel" + std::to_string(i + 1);
    LVITEMA item{LVIF_TEXT, i, 0, 0, 0, text.data(), 0, 0, 0, 0};
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  SendMessageA(picker, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("yyyy-MM-dd HH:mm:ss"));
  auto pump = [] {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  };
  pump();
  for (const char* line : {"0 slide 20 7", "0 row 21 9", "0 dblrow 21 10", "0 slide 20 99",
                           "0 datetime 22 \"2024-05-01 08:30:00\""}) {
    InputStep step = ParseInputScript(line).front();
    ASSERT_TRUE(PlayControlStep(step, display->input(), &error)) << line << ": " << error;
    pump();
    if (step.action == InputAction::kSlide && step.value == 7) {
      EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 7);
    }
  }
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 10);  // dragged past the end: clamped
  EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 10);
  EXPECT_NE(std::find(s_notes.begin(), s_notes.end(), NM_DBLCLK), s_notes.end());
  char text[64];
  GetWindowTextA(picker, text, sizeof(text));
  EXPECT_STREQ(text, "2024-05-01 08:30:00");
  InputStep bad = ParseInputScript("0 datetime 22 \"2024-02-30 08:30:00\"").front();
  EXPECT_FALSE(PlayControlStep(bad, display->input(), &error));
  EXPECT_EQ(error, "control 22 took no date \"2024-02-30 08:30:00\"");
  DestroyWindow(dialog);
  pump();
}

TEST_F(ControlActionsTest, FileAnswersTheOpenSaveDialog) {
  static InputInjector* s_input;
  static std::string s_error = "not run";
  s_input = &display_->input();
  UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
    static int ticks = 0;
    HWND top = platform::ui::CurrentModalDialog();
    if (top == nullptr) return;
    if (++ticks > 100) EndDialog(top, IDCANCEL);  // the bound: never hang the test
    if (s_error != "not run") return;
    InputStep step = ParseInputScript("0 file \"/tmp/orvix-script-answer.avi\"").front();
    s_error.clear();
    PlayControlStep(step, *s_input, &s_error);
  });
  char path[256] = "";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof(path);
  EXPECT_TRUE(GetSaveFileNameA(&ofn));
  KillTimer(nullptr, timer);
  EXPECT_EQ(s_error, "");
  EXPECT_STREQ(path, "/tmp/orvix-script-answer.avi");
}

}  // namespace
}  // namespace orvix
