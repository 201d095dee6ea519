// The dialog item calls: texts, integers, checks, messages, and dialog units.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui/dialog_internal.h"
#include "platform/ui/message.h"
#include "platform/ui/window.h"

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) return 0;
  return static_cast<UINT>(GetWindowTextA(item, buffer, size));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item != nullptr && SetWindowTextA(item, text);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL is_signed) {
  if (translated) *translated = FALSE;
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) return 0;
  char text[64];
  int n = GetWindowTextA(item, text, sizeof(text));
  if (n <= 0 || n >= static_cast<int>(sizeof(text)) - 1) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (!is_signed && *p == '-') return 0;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(p, &end, 10);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  if (end == p || *end != '\0' || errno == ERANGE) return 0;
  if (is_signed ? (v < INT_MIN || v > INT_MAX) : (v < 0 || v > static_cast<long long>(UINT_MAX))) {
    return 0;
  }
  if (translated) *translated = TRUE;
  return is_signed ? static_cast<UINT>(static_cast<int>(v)) : static_cast<UINT>(v);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed) {
  char text[16];
  if (is_signed) {
    std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof(text), "%u", value);
  }
  return SetDlgItemTextA(dialog, id, text);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) return FALSE;
  SendMessageA(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  if (first > last) return FALSE;
  for (int id = first; id <= last; ++id) {
    if (HWND item = GetDlgItem(dialog, id)) {
      SendMessageA(item, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
  return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessageA(item, message, wparam, lparam) : 0;
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  platform::ui::DialogState* s = platform::ui::StateOf(dialog);
  if (s == nullptr || rect == nullptr) return FALSE;
  auto x = [&](LONG v) { return static_cast<LONG>(v * s->base.cx / 4); };
  auto y = [&](LONG v) { return static_cast<LONG>(v * s->base.cy / 8); };
  *rect = RECT{x(rect->left), y(rect->top), x(rect->right), y(rect->bottom)};
  return TRUE;
}
