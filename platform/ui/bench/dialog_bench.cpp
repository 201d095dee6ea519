// Creating and showing a dialog of 40 controls, until every control has painted, on the
// headless display.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/dialog.h"
#include "platform/ui/dialog_resource.h"
#include "platform/ui/ui.h"

namespace platform::ui {
namespace {

// Ten rows of a label, an edit, a check box and a combo box.
std::vector<DialogItemTemplate> FortyControls() {
  static std::vector<std::string> labels;
  std::vector<DialogItemTemplate> items;
  for (int row = 0; row < 10; ++row) {
    labels.push_back("Setting " + std::to_string(row + 1) + ":");
    short y = static_cast<short>(7 + row * 18);
    int id = 1000 + row * 4;
    items.push_back({"STATIC", labels.back().c_str(), -1, WS_VISIBLE, 0, 7, y, 50, 8});
    items.push_back({"EDIT", "value", id, WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 60, y, 80, 13});
    items.push_back({"BUTTON", "Enabled", id + 1, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 150,
                     y, 60, 10});
    items.push_back(
        {"COMBOBOX", "", id + 2, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 220, y, 70, 60});
  }
  return items;
}

INT_PTR FillProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  for (int row = 0; row < 10; ++row) {
    HWND combo = GetDlgItem(dialog, 1002 + row * 4);
    for (const char* s : {"Low", "Medium", "High"}) {
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    }
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
  }
  return TRUE;
}

void Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

void BM_CreateAndShowFortyControlDialog(benchmark::State& state) {
  std::string error;
  auto display = platform::display::Display::CreateHeadless(800, 600, &error);
  if (!display) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<DialogItemTemplate> items = FortyControls();
  DialogTemplate t{0,
                   nullptr,
                   WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER,
                   0,
                   0,
                   0,
                   300,
                   190,
                   "Forty",
                   "Tahoma",
                   9,
                   items.data(),
                   static_cast<int>(items.size())};
  for (auto _ : state) {
    HWND dialog = CreateDialogIndirectParamA(nullptr, &t, nullptr, FillProc, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    Drain();
    state.PauseTiming();
    DestroyWindow(dialog);
    Drain();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CreateAndShowFortyControlDialog)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace platform::ui

BENCHMARK_MAIN();
