#include "tools/orvix/control_actions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display/display.h"
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
