#pragma once
// Dialogs: windows of the dialog class "#32770" built from a template (dialog_resource.h),
// whose controls the dialog manager creates, lays out in dialog units, gives the dialog's
// font, and drives from the keyboard.
//
//   - CreateDialogParamA makes a modeless dialog: WM_SETFONT to each control, then
//     WM_INITDIALOG (wParam the control to focus, lParam the caller's value); a TRUE answer
//     focuses that control. A dialog with WS_VISIBLE in its style is shown then. Messages of a
//     modeless dialog reach its keyboard navigation only through IsDialogMessageA in the
//     caller's loop.
//   - DialogBoxParamA makes the dialog, disables its owner, and runs a message loop that calls
//     IsDialogMessageA, until EndDialog; it then enables the owner, destroys the dialog and
//     gives EndDialog's result (-1 when the dialog could not be made). WM_QUIT ends the loop
//     early and is posted again for the caller's loop.
//   - The dialog procedure answers TRUE for a message it handled and FALSE to let the default
//     handling (DefDlgProcA) run; a result other than TRUE/FALSE goes in DWLP_MSGRESULT.
//   - IsDialogMessageA: Tab and Shift-Tab move the focus through the WS_TABSTOP controls in
//     creation order (into child dialogs with WS_EX_CONTROLPARENT), arrows through a
//     WS_GROUP group, Enter sends WM_COMMAND for the default button (IDOK when none) unless
//     the focused control wants the key, Esc sends WM_COMMAND IDCANCEL. A disabled default
//     button sends nothing.
//   - A captionless WS_CHILD dialog (DS_CONTROL) is docked in its parent: its controls belong
//     to the parent's tab order and the parent's IsDialogMessageA serves them.
//
// Dialog units: one horizontal unit is a quarter of the font's average character width (that
// of "A..Za..z"), one vertical unit an eighth of its height, as Windows does.

#include "platform/prompt/prompt.h"
#include "platform/ui/controls_standard.h"

#pragma GCC visibility push(default)

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// Dialog styles.
constexpr DWORD DS_ABSALIGN = 0x0001;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_NOIDLEMSG = 0x0100;
constexpr DWORD DS_SETFOREGROUND = 0x0200;
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;
constexpr DWORD DS_CENTERMOUSE = 0x1000;
constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

// Dialog window bytes (cbWndExtra of "#32770").
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = 8;
constexpr int DWLP_USER = 16;
constexpr int DLGWINDOWEXTRA = 30;

constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr UINT DM_REPOSITION = WM_USER + 2;
constexpr WORD DC_HASDEFID = 0x534B;

constexpr int IDCLOSE = 8;
constexpr int IDHELP = 9;
constexpr int IDC_STATIC = -1;

#define WC_DIALOG MAKEINTRESOURCEA(0x8002)

// `name` is MAKEINTRESOURCEA(id) or the dialog's name in the module's resources; a null
// `instance` searches every module.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
inline INT_PTR DialogBoxA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc) {
  return DialogBoxParamA(instance, name, owner, proc, 0);
}
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param);
inline HWND CreateDialogA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc) {
  return CreateDialogParamA(instance, name, parent, proc, 0);
}
// Ends a modal dialog's loop with `result` (the dialog is hidden now and destroyed when the
// loop ends). For a modeless dialog it only hides it: DestroyWindow is the caller's.
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
BOOL IsDialogMessageA(HWND dialog, MSG* message);
inline BOOL IsDialogMessage(HWND dialog, MSG* message) { return IsDialogMessageA(dialog, message); }

// The next (or, with `previous`, the one before) control with WS_TABSTOP, visible and enabled,
// after `control`, wrapping; `control` null starts from the first.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
BOOL MapDialogRect(HWND dialog, RECT* rect);
LONG GetDialogBaseUnits();  // for the stock GUI font: MAKELONG(x, y)

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
// Parses the item's text as a decimal integer (leading spaces allowed, a sign when `is_signed`);
// *translated tells whether it was one that fits.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL is_signed);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and clears every other radio button from `first` to `last`.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);

namespace platform::ui {
// Moves the window so that it is centred on `parent` (the desktop when null), kept on screen.
void CenterWindow(HWND window, HWND parent);
// The dialog whose modal loop runs on this thread, innermost first; null when none.
HWND CurrentModalDialog();
// The visible control with this ID in the calling thread's innermost modal dialog, or, when
// none runs, in the topmost dialog of any visible window (a docked panel); null when absent.
// This is what a script means by "control ID in the top dialog".
HWND FindDialogControl(int id);
// The outermost dialog among the window and its ancestors, null when none: the dialog whose
// IsDialogMessageA a message loop calls for a message to `window`, so that modeless dialogs
// and docked panels get their keyboard.
HWND DialogForMessage(HWND window);
}  // namespace platform::ui

#pragma GCC visibility pop
