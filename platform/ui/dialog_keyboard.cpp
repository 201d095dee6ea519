// The dialog keyboard: tab order, groups, Enter and Esc (IsDialogMessageA).
#include <algorithm>
#include <vector>

#include "platform/ui/dialog_internal.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

DWORD Style(HWND w) { return static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)); }
bool IsContainer(HWND w) { return (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0; }
// The control's own flags: a dialog not shown yet still has a tab order.
bool Usable(HWND w) { return (Style(w) & WS_VISIBLE) && IsWindowEnabled(w); }

// The dialog's controls in creation order, those of docked child dialogs in their place.
void Collect(HWND parent, std::vector<HWND>* out) {
  for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    if (IsContainer(c)) {
      if (Usable(c)) Collect(c, out);
      continue;
    }
    out->push_back(c);
  }
}

// `control` or the ancestor of it that is among `all`.
int IndexOf(const std::vector<HWND>& all, HWND control) {
  for (HWND w = control; w != nullptr; w = GetParent(w)) {
    auto it = std::find(all.begin(), all.end(), w);
    if (it != all.end()) return static_cast<int>(it - all.begin());
  }
  return -1;
}

HWND Step(const std::vector<HWND>& all, int from, bool previous, bool (*wanted)(HWND)) {
  int n = static_cast<int>(all.size());
  for (int k = 1; k <= n; ++k) {
    int i = from < 0 ? (previous ? n - k : k - 1) : ((from + (previous ? -k : k)) % n + n) % n;
    if (wanted(all[static_cast<size_t>(i)])) return all[static_cast<size_t>(i)];
  }
  return nullptr;
}

bool TabStop(HWND w) { return (Style(w) & WS_TABSTOP) && Usable(w); }

// The checked radio button of the group `w` leads, else `w`: tabbing into a group of radio
// buttons lands on the chosen one.
HWND CheckedInGroup(const std::vector<HWND>& all, HWND w) {
  if (!(SendMessageA(w, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) return w;
  int i = IndexOf(all, w);
  for (size_t k = static_cast<size_t>(i); k < all.size(); ++k) {
    if (k != static_cast<size_t>(i) && (Style(all[k]) & WS_GROUP)) break;
    if (Usable(all[k]) && SendMessageA(all[k], BM_GETCHECK, 0, 0) == BST_CHECKED) return all[k];
  }
  return w;
}

LRESULT CodeOf(MSG* msg) {
  return SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
}

void PressButton(HWND dialog, int id, HWND button) {
  if (button != nullptr && !IsWindowEnabled(button)) return;  // a disabled button sends nothing
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// The default button look goes to a focused push button, and back to the dialog's default
// when the focus goes elsewhere.
void FollowFocus(HWND dialog, HWND focus) {
  LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  int default_id =
      HIWORD(static_cast<uintptr_t>(def)) == DC_HASDEFID ? LOWORD(static_cast<uintptr_t>(def)) : 0;
  bool focus_is_push = focus != nullptr && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) &
                                            (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
  std::vector<HWND> all;
  Collect(dialog, &all);
  for (HWND c : all) {
    LRESULT code = SendMessageA(c, WM_GETDLGCODE, 0, 0);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) continue;
    bool look = focus_is_push ? c == focus : GetDlgCtrlID(c) == default_id;
    if (look != ((code & DLGC_DEFPUSHBUTTON) != 0)) {
      SendMessageA(c, BM_SETSTYLE, look ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
  }
}

}  // namespace

void FocusControl(HWND dialog, HWND control) {
  if (control == nullptr) return;
  DialogState* s = StateOf(dialog);
  if (s != nullptr && s->default_id == 0) {
    // Remember the template's default before the look starts to move with the focus.
    LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(static_cast<uintptr_t>(def)) == DC_HASDEFID) {
      s->default_id = LOWORD(static_cast<uintptr_t>(def));
    }
  }
  SetFocus(control);
  if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
    SendMessageA(control, EM_SETSEL, 0, -1);
  }
  if (s != nullptr) s->last_focus = control;
  FollowFocus(dialog, control);
}

HWND DefaultButton(HWND dialog) {
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(dialog, focus) &&
      (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
    return focus;
  }
  LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  int id = HIWORD(static_cast<uintptr_t>(def)) == DC_HASDEFID ? LOWORD(static_cast<uintptr_t>(def))
                                                              : IDOK;
  return GetDlgItem(dialog, id);
}

}  // namespace platform::ui

using platform::ui::Collect;
using platform::ui::IndexOf;

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> all;
  Collect(dialog, &all);
  HWND next = platform::ui::Step(all, control ? IndexOf(all, control) : -1, previous != FALSE,
                                 platform::ui::TabStop);
  return next ? platform::ui::CheckedInGroup(all, next) : control;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> all;
  Collect(dialog, &all);
  int at = IndexOf(all, control);
  if (at < 0) return nullptr;
  int first = at;
  while (first > 0 && !(platform::ui::Style(all[static_cast<size_t>(first)]) & WS_GROUP)) --first;
  int last = at;
  while (last + 1 < static_cast<int>(all.size()) &&
         !(platform::ui::Style(all[static_cast<size_t>(last + 1)]) & WS_GROUP)) {
    ++last;
  }
  std::vector<HWND> group(all.begin() + first, all.begin() + last + 1);
  HWND next = platform::ui::Step(group, at - first, previous != FALSE, platform::ui::Usable);
  return next ? next : control;
}

BOOL IsDialogMessageA(HWND dialog, MSG* msg) {
  if (msg == nullptr || dialog == nullptr) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    LRESULT code = platform::ui::CodeOf(msg);
    HWND focus = GetFocus();
    bool shift = GetKeyState(VK_SHIFT) < 0;
    if (code & DLGC_WANTALLKEYS) {
      // The control keeps every key.
    } else if (msg->wParam == VK_TAB && !(code & DLGC_WANTTAB)) {
      platform::ui::FocusControl(dialog, GetNextDlgTabItem(dialog, focus, shift));
      return TRUE;
    } else if ((msg->wParam == VK_LEFT || msg->wParam == VK_UP || msg->wParam == VK_RIGHT ||
                msg->wParam == VK_DOWN) &&
               !(code & DLGC_WANTARROWS) && focus != nullptr) {
      bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
      HWND next = GetNextDlgGroupItem(dialog, focus, back);
      if (next != nullptr && next != focus) {
        platform::ui::FocusControl(dialog, next);
        LRESULT next_code = SendMessageA(next, WM_GETDLGCODE, 0, 0);
        if ((next_code & DLGC_RADIOBUTTON) &&
            (GetWindowLongA(next, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
          SendMessageA(next, BM_CLICK, 0, 0);
        }
      }
      return TRUE;
    } else if (msg->wParam == VK_RETURN) {
      HWND button = platform::ui::DefaultButton(dialog);
      int id = button ? GetDlgCtrlID(button) : IDOK;
      platform::ui::PressButton(dialog, id, button);
      return TRUE;
    } else if (msg->wParam == VK_ESCAPE) {
      platform::ui::PressButton(dialog, IDCANCEL, GetDlgItem(dialog, IDCANCEL));
      return TRUE;
    }
  }
  if (msg->message == WM_CHAR && (msg->wParam == '\t' || msg->wParam == 0x1B)) {
    if (!(platform::ui::CodeOf(msg) & (DLGC_WANTALLKEYS | DLGC_WANTCHARS))) return TRUE;
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return TRUE;
}
