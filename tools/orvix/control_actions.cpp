#include "tools/orvix/control_actions.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/kernel/code_page.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace orvix {
namespace {

using platform::display::Button;
using platform::display::InputInjector;

constexpr DWORD kSettle = 600;  // between gestures: separate clicks, not a double click

std::string ClassOf(HWND w) {
  char name[64] = {};
  GetClassNameA(w, name, sizeof(name));
  return name;
}

POINT Centre(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Input goes to the window that is to have it when it is given: a button still holding the
// capture it took for its hover would be given a press meant for the next control. The move
// there is delivered first, so that the capture has moved on before the press.
void MoveOnto(InputInjector& input, POINT p) {
  input.MoveTo(p.x, p.y);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    DispatchMessageA(&msg);
  }
}

void ClickAt(InputInjector& input, POINT p, bool twice = false) {
  MoveOnto(input, p);
  if (twice) {
    input.DoubleClick(p.x, p.y);
  } else {
    input.Click(p.x, p.y);
  }
  input.Wait(kSettle);
}

void Key(InputInjector& input, UINT vk) { input.Key(vk); }

// Typed text is given in UTF-8 and reaches controls in the program's code page; text with no
// translation is typed as it was given.
std::string ToCodePage(const std::string& utf8) {
  if (utf8.empty()) return utf8;
  int size = static_cast<int>(utf8.size());
  int chars = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (chars == 0) return utf8;
  std::u16string wide(chars, u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), chars);
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
  if (bytes == 0) return utf8;
  std::string out(bytes, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, out.data(), bytes, nullptr, nullptr);
  return out;
}

void TypeText(InputInjector& input, const std::string& utf8) {
  std::string bytes = ToCodePage(utf8);
  input.Text(bytes.data(), bytes.size());
}

bool Fail(std::string* error, const std::string& why) {
  *error = why;
  return false;
}

bool Choose(HWND combo, const InputStep& step, InputInjector& input, std::string* error) {
  int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  int index = step.value;
  if (index < 0) {
    std::string text = ToCodePage(step.text);
    index = static_cast<int>(SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(text.c_str())));
    if (index < 0)
      return Fail(error,
                  "no item \"" + step.text + "\" in combo box " + std::to_string(step.control));
  }
  if (index >= count) {
    return Fail(error, "combo box " + std::to_string(step.control) + " has " +
                           std::to_string(count) + " items, no item " + std::to_string(index));
  }
  // As from the keyboard: open the list, walk to the item, take it.
  SetFocus(combo);
  Key(input, VK_F4);
  Key(input, VK_HOME);
  for (int i = 0; i < index; ++i) Key(input, VK_DOWN);
  Key(input, VK_RETURN);
  return true;
}

bool Row(HWND list, const InputStep& step, InputInjector& input, std::string* error) {
  bool listbox = ClassOf(list) == "LISTBOX";
  int count = static_cast<int>(SendMessageA(list, listbox ? LB_GETCOUNT : LVM_GETITEMCOUNT, 0, 0));
  if (step.value >= count) {
    return Fail(error, "list " + std::to_string(step.control) + " has " + std::to_string(count) +
                           " rows, no row " + std::to_string(step.value));
  }
  RECT r{0, 0, 0, 0};
  auto index = static_cast<WPARAM>(step.value);
  if (listbox) {
    RECT client;
    GetClientRect(list, &client);
    SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    if (r.top < 0 || r.bottom > client.bottom) {
      SendMessageA(list, LB_SETTOPINDEX, index, 0);
      SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    }
  } else {
    SendMessageA(list, LVM_ENSUREVISIBLE, index, FALSE);
    r.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
  }
  POINT p{r.left + 8, (r.top + r.bottom) / 2};
  ClientToScreen(list, &p);
  ClickAt(input, p, step.action == InputAction::kDoubleRow);
  return true;
}

bool Slide(HWND bar, const InputStep& step, InputInjector& input, std::string* error) {
  int low = static_cast<int>(SendMessageA(bar, TBM_GETRANGEMIN, 0, 0));
  int high = static_cast<int>(SendMessageA(bar, TBM_GETRANGEMAX, 0, 0));
  RECT thumb{0, 0, 0, 0}, channel{0, 0, 0, 0};
  SendMessageA(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  SendMessageA(bar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  if (high <= low || IsRectEmpty(&thumb)) {
    return Fail(error, "control " + std::to_string(step.control) + " is not a slider");
  }
  bool vertical = (GetWindowLongA(bar, GWL_STYLE) & TBS_VERT) != 0;
  // Past the ends the thumb stops at them: the value is clamped by the control, as for a drag.
  LONG span = vertical ? channel.bottom - channel.top : channel.right - channel.left;
  auto along = static_cast<LONG>(static_cast<long long>(step.value - low) * span / (high - low));
  POINT from{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
  POINT to = vertical ? POINT{from.x, channel.top + along} : POINT{channel.left + along, from.y};
  // The whole gesture is given at once, before the press takes the capture: it stays over the
  // control, and a value past an end stops at the control's edge, which is that end.
  RECT client;
  GetClientRect(bar, &client);
  to.x = std::clamp(to.x, client.left, client.right - 1);
  to.y = std::clamp(to.y, client.top, client.bottom - 1);
  ClientToScreen(bar, &from);
  ClientToScreen(bar, &to);
  MoveOnto(input, from);
  input.Press(Button::kLeft, from.x, from.y);
  input.MoveTo(to.x, to.y);
  input.Release(Button::kLeft, to.x, to.y);
  input.Wait(kSettle);
  return true;
}

bool DateTime(HWND picker, const InputStep& step, std::string* error) {
  SYSTEMTIME t{};
  int y, mo, d, h, mi, s;
  char tail = 0;
  if (std::sscanf(step.text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s,
                  &tail) != 6 ||
      mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || y < 1601) {
    return Fail(error, "datetime wants \"yyyy-MM-dd HH:mm:ss\", got \"" + step.text + "\"");
  }
  t.wYear = static_cast<WORD>(y);
  t.wMonth = static_cast<WORD>(mo);
  t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(h);
  t.wMinute = static_cast<WORD>(mi);
  t.wSecond = static_cast<WORD>(s);
  if (!SendMessageA(picker, DTM_SETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t))) {
    return Fail(error,
                "control " + std::to_string(step.control) + " took no date \"" + step.text + "\"");
  }
  return true;
}

bool PressKey(InputInjector& input, const std::string& keys) {
  std::string name = keys;
  std::vector<UINT> modifiers;
  for (;;) {
    if (name.rfind("shift+", 0) == 0) {
      modifiers.push_back(VK_SHIFT);
      name = name.substr(6);
    } else if (name.rfind("ctrl+", 0) == 0) {
      modifiers.push_back(VK_CONTROL);
      name = name.substr(5);
    } else if (name.rfind("alt+", 0) == 0) {
      modifiers.push_back(VK_MENU);
      name = name.substr(4);
    } else {
      break;
    }
  }
  UINT vk = KeyByName(name);
  if (vk == 0) return false;
  for (UINT m : modifiers) input.KeyDown(m);
  input.Key(vk);
  for (UINT m : modifiers) input.KeyUp(m);
  return true;
}

// One line on the standard output, for a run's reader: "control ID: "TEXT" at L,T,R,B".
void Show(HWND control, int id) {
  char text[256] = {};
  GetWindowTextA(control, text, sizeof text);
  RECT r{0, 0, 0, 0};
  GetWindowRect(control, &r);
  std::printf("control %d: \"%s\" at %ld,%ld,%ld,%ld\n", id, text, static_cast<long>(r.left),
              static_cast<long>(r.top), static_cast<long>(r.right), static_cast<long>(r.bottom));
  std::fflush(stdout);
}

bool AnswerFileDialog(const InputStep& step, InputInjector& input, std::string* error) {
  HWND dialog = platform::ui::CurrentModalDialog();
  HWND field = dialog ? GetDlgItem(dialog, kCdPathField) : nullptr;
  if (field == nullptr) return Fail(error, "no file or folder dialog is open");
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, -1);
  TypeText(input, step.text);
  Key(input, VK_RETURN);
  return true;
}

}  // namespace

bool IsControlStep(const InputStep& step) {
  switch (step.action) {
    case InputAction::kMove:
    case InputAction::kClick:
    case InputAction::kDoubleClick:
    case InputAction::kRightClick:
    case InputAction::kScreenshot:
      return false;
    default:
      return true;
  }
}

bool PlayControlStep(const InputStep& step, InputInjector& input, std::string* error) {
  if (step.action == InputAction::kType) {
    TypeText(input, step.text);
    return true;
  }
  if (step.action == InputAction::kKey) {
    if (!PressKey(input, step.text)) return Fail(error, "unknown key \"" + step.text + "\"");
    return true;
  }
  if (step.action == InputAction::kFile) return AnswerFileDialog(step, input, error);
  HWND control = platform::ui::FindDialogControl(step.control);
  if (control == nullptr) {
    return Fail(error, "no control " + std::to_string(step.control) + " in the top dialog");
  }
  POINT centre = Centre(control);
  switch (step.action) {
    case InputAction::kControlClick:
      ClickAt(input, centre);
      return true;
    case InputAction::kPress:
      MoveOnto(input, centre);
      input.Press(Button::kLeft, centre.x, centre.y);
      return true;
    case InputAction::kRelease:
      input.Release(Button::kLeft, centre.x, centre.y);
      input.Wait(kSettle);
      return true;
    case InputAction::kCheck:
      if ((SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) != (step.value != 0)) {
        ClickAt(input, centre);
      }
      return true;
    case InputAction::kChoose:
      return Choose(control, step, input, error);
    case InputAction::kRow:
    case InputAction::kDoubleRow:
      return Row(control, step, input, error);
    case InputAction::kSlide:
      return Slide(control, step, input, error);
    case InputAction::kDateTime:
      return DateTime(control, step, error);
    case InputAction::kShow:
      Show(control, step.control);
      return true;
    default:
      return Fail(error, "not a control action");
  }
}

}  // namespace orvix
