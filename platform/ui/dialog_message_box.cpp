// Message boxes as dialogs on the display: the text, the buttons of the box's type, its
// default button, Esc for the box's cancel answer.
#include "platform/ui/dialog_message_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/controls_draw.h"
#include "platform/ui/dialog.h"
#include "platform/ui/dialog_resource.h"
#include "platform/ui/ui.h"

namespace platform::ui {
namespace {

constexpr int kTextId = 0xFFFF;
constexpr int kButtonWidth = 50;  // dialog units
constexpr int kButtonHeight = 14;
constexpr int kGap = 6;

struct ButtonSpec {
  int id;
  const char* text;
};

std::vector<ButtonSpec> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE:
      return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL:
      return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO:
      return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL:
      return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    default:
      return {{IDOK, "OK"}};
  }
}

// The text's size in dialog units, measured in the stock font, at most 240 units wide.
SIZE TextUnits(const char* text) {
  LONG base = GetDialogBaseUnits();
  int bx = LOWORD(static_cast<uintptr_t>(base)), by = HIWORD(static_cast<uintptr_t>(base));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, draw::DefaultFont());
  RECT r{0, 0, 240 * bx / 4, 0};
  DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteDC(dc);
  return SIZE{(r.right * 4 + bx - 1) / bx + 2, (r.bottom * 8 + by - 1) / by + 1};
}

struct Box {
  UINT type;
  std::vector<ButtonSpec> buttons;
};

INT_PTR BoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    const Box* box = reinterpret_cast<const Box*>(lparam);
    int def = DefaultButton(box->type);
    SendMessageA(dialog, DM_SETDEFID, static_cast<WPARAM>(def), 0);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, def)), TRUE);
    return FALSE;
  }
  if (message != WM_COMMAND) return FALSE;
  const Box* box = reinterpret_cast<const Box*>(GetWindowLongPtrA(dialog, DWLP_USER));
  int id = LOWORD(wparam);
  // Esc (IDCANCEL) answers only a box that can be cancelled: OK alone counts as cancel.
  if (id == IDCANCEL && GetDlgItem(dialog, IDCANCEL) == nullptr) {
    if (box->buttons.size() != 1) return TRUE;
    id = box->buttons[0].id;
  }
  for (const ButtonSpec& b : box->buttons) {
    if (b.id == id) EndDialog(dialog, id);
  }
  return TRUE;
}

}  // namespace

int DialogPrompt(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Box box{type, ButtonsOf(type)};
  const char* shown = text ? text : "";
  SIZE t = TextUnits(shown);
  int n = static_cast<int>(box.buttons.size());
  int row = n * kButtonWidth + (n - 1) * kGap;
  int width = std::max(static_cast<int>(t.cx), row) + 2 * 10;
  int height = 10 + static_cast<int>(t.cy) + 10 + kButtonHeight + 7;
  std::vector<DialogItemTemplate> items;
  items.push_back({"STATIC", shown, kTextId, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 10, 10,
                   static_cast<short>(t.cx), static_cast<short>(t.cy)});
  int x = (width - row) / 2;
  for (const ButtonSpec& b : box.buttons) {
    items.push_back({"BUTTON", b.text, b.id, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
                     static_cast<short>(x), static_cast<short>(height - 7 - kButtonHeight),
                     kButtonWidth, kButtonHeight});
    x += kButtonWidth + kGap;
  }
  DialogTemplate t_box{0,
                       nullptr,
                       DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                       0,
                       0,
                       0,
                       static_cast<short>(width),
                       static_cast<short>(height),
                       caption ? caption : "Error",
                       nullptr,
                       0,
                       items.data(),
                       static_cast<int>(items.size())};
  INT_PTR answer =
      DialogBoxIndirectParamA(nullptr, &t_box, owner, BoxProc, reinterpret_cast<LPARAM>(&box));
  return answer > 0 ? static_cast<int>(answer) : DefaultButton(type);
}

void InstallDialogPrompts() { SetPromptHandler(&DialogPrompt); }

}  // namespace platform::ui
