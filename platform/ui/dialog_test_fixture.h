#pragma once
// What the dialog and control tests share: a headless display, a dialog made from the sample
// resources, a loop that serves it as a program's would, and input given as a person gives it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SampleDialogs.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/dialog.h"
#include "platform/ui/dialog_resource.h"
#include "platform/ui/input.h"
#include "platform/ui/ui.h"

namespace platform::ui::test {

// Every WM_COMMAND and WM_NOTIFY code the sample dialogs got: (id, code).
struct Command {
  int id;
  int code;
  bool operator==(const Command& o) const { return id == o.id && code == o.code; }
};
std::vector<Command>& Commands();
// The sample dialogs' procedure: records commands, ends on IDOK/IDCANCEL (modal) and fills
// the storage combo and result list at WM_INITDIALOG.
INT_PTR SampleProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HWND Open(int id, HWND parent = nullptr);
  // Serves the dialog's messages until none are left (IsDialogMessageA first).
  void Pump();
  HWND Item(int id) { return GetDlgItem(dialog_, id); }
  POINT Centre(HWND control);
  void Click(HWND control);
  void ClickAt(int x, int y);
  void DoubleClick(HWND control);
  void Key(UINT vk);
  void KeyWith(UINT modifier, UINT vk);
  std::vector<Command> TakeCommands();
  // The BN_CLICKED commands among them, by id.
  std::vector<int> TakeClicks();
  std::unique_ptr<platform::display::Display> display_;
  HWND dialog_ = nullptr;
};

}  // namespace platform::ui::test
