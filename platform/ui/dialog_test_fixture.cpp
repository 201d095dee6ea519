#include "platform/ui/dialog_test_fixture.h"

#include <utility>

namespace platform::ui::test {

std::vector<Command>& Commands() {
  static auto* commands = new std::vector<Command>;
  return *commands;
}

INT_PTR SampleProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      if (HWND storage = GetDlgItem(dialog, IDC_STORAGE)) {
        for (int id : {IDS_HARD_DISK, IDS_SD}) {
          char text[64];
          LoadStringA(SampleDialogs(), id, text, sizeof(text));
          SendMessageA(storage, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
        SendMessageA(storage, CB_SETCURSEL, 0, 0);
      }
      if (HWND list = GetDlgItem(dialog, IDC_RESULTS)) {
        const char* rows[] = {"00001  channel1  normal record  2024-05-01 08:00:00",
                              "00002  channel1  move detect    2024-05-01 09:12:40",
                              "00003  channel2  alarm record   2024-05-01 10:30:05"};
        for (int i = 0; i < 3; ++i) {
          LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(rows[i]));
          SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(at), 100 + i);
        }
      }
      CheckRadioButton(dialog, IDC_NEWEST, IDC_OLDEST, IDC_NEWEST);
      SetDlgItemTextA(dialog, IDC_START, "2024-05-01 00:00:00");
      SetDlgItemTextA(dialog, IDC_END, "2024-05-01 23:59:59");
      Commands().clear();
      return TRUE;
    case WM_COMMAND:
      Commands().push_back(Command{LOWORD(wparam), HIWORD(wparam)});
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wparam));
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void DialogTest::SetUp() {
  std::string error;
  display_ = platform::display::Display::CreateHeadless(800, 600, &error);
  ASSERT_NE(display_, nullptr) << error;
  Commands().clear();
}

void DialogTest::TearDown() {
  ReleaseCapture();
  if (IsWindow(dialog_)) DestroyWindow(dialog_);
  Pump();
  display_.reset();
}

HWND DialogTest::Open(int id, HWND parent) {
  dialog_ = CreateDialogParamA(SampleDialogs(), MAKEINTRESOURCEA(id), parent, SampleProc, 0);
  EXPECT_NE(dialog_, nullptr);
  ShowWindow(dialog_, SW_SHOW);
  Pump();
  Commands().clear();
  return dialog_;
}

void DialogTest::Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (dialog_ != nullptr && IsWindow(dialog_) && IsDialogMessageA(dialog_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

POINT DialogTest::Centre(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void DialogTest::ClickAt(int x, int y) {
  display_->input().Click(x, y);
  display_->input().Wait(1000);  // the next click is a click of its own, not a double click
  Pump();
}

void DialogTest::Click(HWND control) {
  POINT p = Centre(control);
  ClickAt(p.x, p.y);
}

void DialogTest::DoubleClick(HWND control) {
  POINT p = Centre(control);
  display_->input().DoubleClick(p.x, p.y);
  Pump();
}

void DialogTest::Key(UINT vk) {
  display_->input().Key(vk);
  Pump();
}

void DialogTest::KeyWith(UINT modifier, UINT vk) {
  display_->input().KeyDown(modifier);
  display_->input().Key(vk);
  display_->input().KeyUp(modifier);
  Pump();
}

std::vector<Command> DialogTest::TakeCommands() { return std::exchange(Commands(), {}); }

std::vector<int> DialogTest::TakeClicks() {
  std::vector<int> ids;
  for (const Command& c : TakeCommands()) {
    if (c.code == BN_CLICKED) ids.push_back(c.id);
  }
  return ids;
}

}  // namespace platform::ui::test
