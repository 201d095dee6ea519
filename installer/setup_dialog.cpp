#include "installer/setup_dialog.h"

#include <cstdio>

#include "SetupResources.h"
#include "installer/plugin_registration.h"
#include "platform/display/display.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace installer {
namespace {

constexpr UINT_PTR kScriptTimer = 1;
// Long enough for the dialog's first painting to have reached the framebuffer.
constexpr UINT kScriptDelayMs = 300;

struct DialogState {
  std::string folder;
  DialogScript script;
  bool screenshot_failed = false;
};

void TakeScreenshot(DialogState* state) {
  auto* display = platform::display::Display::Current();
  std::string error;
  display->Present();
  if (!display->Screenshot(state->script.screenshot, &error)) {
    std::fprintf(stderr, "setuptool: cannot write %s: %s\n", state->script.screenshot.c_str(),
                 error.c_str());
    state->screenshot_failed = true;
    return;
  }
  std::printf("setuptool: screenshot %s\n", state->script.screenshot.c_str());
}

void RunScript(HWND dialog, DialogState* state) {
  if (!state->script.screenshot.empty()) TakeScreenshot(state);
  for (Button button : state->script.clicks) {
    int id = button == Button::kRegister ? IDC_REGISTER : IDC_REMOVE;
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
  }
  EndDialog(dialog, IDOK);
}

INT_PTR SetupDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    auto* state = reinterpret_cast<DialogState*>(lparam);
    if (state->script.scripted()) SetTimer(dialog, kScriptTimer, kScriptDelayMs, nullptr);
    return TRUE;
  }
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (state == nullptr) return FALSE;
  switch (message) {
    case WM_TIMER:
      if (wparam != kScriptTimer) return FALSE;
      KillTimer(dialog, kScriptTimer);
      RunScript(dialog, state);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wparam)) {
        case IDC_REGISTER:
          RegisterViewers(dialog, state->folder, Mode::kDialog);
          ReportRegsvr32Runs();
          return TRUE;
        case IDC_REMOVE:
          RemoveViewers(dialog, state->folder, Mode::kDialog);
          ReportRegsvr32Runs();
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

bool RunSetupDialog(const std::string& folder, const DialogScript& script) {
  DialogState state{folder, script};
  INT_PTR result = DialogBoxParamA(SetupResources(), MAKEINTRESOURCEA(IDD_SETUPTOOL_DIALOG),
                                   nullptr, &SetupDialogProc, reinterpret_cast<LPARAM>(&state));
  if (result == -1) {
    std::fprintf(stderr, "setuptool: the dialog could not be made\n");
    return false;
  }
  return !state.screenshot_failed;
}

}  // namespace installer
