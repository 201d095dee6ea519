#pragma once
// The dialog procedure of a dialog object: WM_INITDIALOG's parameter is the object, kept in
// the window's DWLP_USER, and every later message goes to the object it names.

#include "device/widgets/wnd.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window.h"

namespace device::widgets {

// Binds `dialog` to its object on WM_INITDIALOG (then `init` runs and `initResult` is the
// answer: TRUE lets the dialog set the default focus) and hands every later message to
// `handle`. Messages before the binding, or after DestroyBoundDialog, get FALSE.
template <typename Dialog>
INT_PTR DispatchDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam,
                       void (Dialog::*init)(), INT_PTR (Dialog::*handle)(UINT, WPARAM, LPARAM),
                       INT_PTR initResult = TRUE) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    auto* self = reinterpret_cast<Dialog*>(lparam);
    self->m_hWnd = dialog;
    (self->*init)();
    return initResult;
  }
  auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (self == nullptr || self->m_hWnd != dialog) return FALSE;
  return (self->*handle)(message, wparam, lparam);
}

// Destroys a bound dialog's window after detaching it from its object: deleted while its
// parent is being destroyed, the window is not gone yet and still gets its WM_DESTROY, which
// must not find the object.
inline void DestroyBoundDialog(HWND window) {
  if (window == nullptr || !IsWindow(window)) return;
  SetWindowLongPtrA(window, DWLP_USER, 0);
  DestroyWindow(window);
}

// The dark dialogs' answer to WM_CTLCOLORDLG, _STATIC and _BTN: their background brush, with
// text drawn transparently over it. False for every other message.
inline bool AnswerDarkColors(UINT message, WPARAM wparam, HBRUSH background, INT_PTR* answer) {
  if (message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN) {
    return false;
  }
  SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
  *answer = reinterpret_cast<INT_PTR>(background);
  return true;
}

// Offers a child's notification to the child's own CWnd; when it took it, the dialog's
// result is set and true returned, as a dialog procedure answers a handled message.
inline bool ReflectToChild(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT reflected = 0;
  if (!CWnd::ReflectNotification(dialog, message, wparam, lparam, &reflected)) return false;
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, reflected);
  return true;
}

}  // namespace device::widgets
