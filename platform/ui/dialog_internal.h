#pragma once
// Internal to the dialog manager: what a dialog keeps beside its window.

#include "platform/ui/dialog.h"
#include "platform/ui/dialog_resource.h"

namespace platform::ui {

constexpr int kDialogStateAt = 24;  // window bytes after DWLP_USER
constexpr int kDialogExtraBytes = 32;

struct DialogState {
  HFONT font = nullptr;
  bool own_font = false;
  SIZE base{8, 16};  // base units: average character width and height of the font
  HWND owner = nullptr;
  bool modal = false;
  bool ended = false;
  INT_PTR result = 0;
  int default_id = 0;  // DM_SETDEFID; 0: the template's BS_DEFPUSHBUTTON
  HWND last_focus = nullptr;
  // Moving and resizing with the mouse: which edges follow it (all four when moving).
  bool dragging = false;
  bool drag_left = false, drag_top = false, drag_right = false, drag_bottom = false;
  POINT drag_from{0, 0};
  RECT drag_rect{0, 0, 0, 0};
};

DialogState* StateOf(HWND dialog);  // null when not a dialog made by the dialog manager
// Focuses a control as the dialog's keyboard does: an edit's text is selected, and the
// default button look follows the focus.
void FocusControl(HWND dialog, HWND control);
// The push button Enter presses now: the focused push button, else the default button.
HWND DefaultButton(HWND dialog);
// Mouse moving and resizing of a dialog's frame (WM_NC* and the captured mouse).
bool HandleFrameMouse(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);

}  // namespace platform::ui
