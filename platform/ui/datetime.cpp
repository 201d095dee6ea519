// The date-time picker: a time shown in a format, edited field by field from the keyboard.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/kernel/clock.h"
#include "platform/ui/commctrl_internal.h"
#include "platform/ui/datetime_format.h"

namespace platform::ui::commctrl {
namespace {

constexpr int kPadding = 4;
constexpr int kSpinWidth = 16;

struct DatePicker {
  DateTimeFormat format = DateTimeFormat::Parse("yyyy-MM-dd");
  SYSTEMTIME time{};
  HFONT font = nullptr;
  int field = -1;        // index into format.fields() of the field being edited
  std::string typed;     // digits typed into that field so far
  SYSTEMTIME untyped{};  // the time before the first of those digits
};

StateMap<DatePicker>& States() {
  static auto* states = new StateMap<DatePicker>;
  return *states;
}

bool Editable(const DatePicker& p, int index) {
  return index >= 0 && index < static_cast<int>(p.format.fields().size()) &&
         p.format.fields()[index].kind != FieldKind::kLiteral;
}

int FirstField(const DatePicker& p) {
  for (int i = 0; i < static_cast<int>(p.format.fields().size()); ++i) {
    if (Editable(p, i)) return i;
  }
  return -1;
}

// The next editable field in direction `dir`, or `from` itself at either end.
int NextField(const DatePicker& p, int from, int dir) {
  for (int i = from + dir; i >= 0 && i < static_cast<int>(p.format.fields().size()); i += dir) {
    if (Editable(p, i)) return i;
  }
  return from;
}

void Changed(HWND window, const SYSTEMTIME& time) {
  InvalidateRect(window, nullptr, FALSE);
  NMDATETIMECHANGE nm{};
  nm.dwFlags = static_cast<DWORD>(GDT_VALID);
  nm.st = time;
  Notify(window, DTN_DATETIMECHANGE, &nm.nmhdr);
}

bool SpinStyle(HWND window) { return (GetWindowLongPtrA(window, GWL_STYLE) & DTS_UPDOWN) != 0; }

void Paint(HWND window, DatePicker* p) {
  OffscreenPaint paint(window);
  HDC dc = paint.dc();
  RECT client = paint.client();
  bool enabled = IsWindowEnabled(window);
  FillColor(dc, client, enabled ? RGB(255, 255, 255) : RGB(236, 236, 236));
  FrameColor(dc, client, RGB(122, 138, 153));
  HGDIOBJ old = SelectObject(dc, FontOr(p->font));
  SetBkMode(dc, TRANSPARENT);
  bool focused = GetFocus() == window;
  int x = kPadding;
  const auto& fields = p->format.fields();
  for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
    std::string text = DateTimeFormat::FieldText(fields[i], p->time);
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    RECT r{x, 2, x + size.cx, client.bottom - 2};
    bool lit = focused && i == p->field;
    if (lit) FillColor(dc, r, RGB(0, 120, 215));
    SetTextColor(dc, lit ? RGB(255, 255, 255) : enabled ? RGB(0, 0, 0) : RGB(128, 128, 128));
    DrawTextA(dc, text.c_str(), -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    x += size.cx;
  }
  if (SpinStyle(window)) {
    RECT spin{client.right - kSpinWidth, 1, client.right - 1, client.bottom - 1};
    FillColor(dc, spin, RGB(225, 229, 234));
    int mid = (spin.top + spin.bottom) / 2;
    HLine(dc, spin.left, spin.right, mid, RGB(150, 160, 170));
    int cx = (spin.left + spin.right) / 2;
    for (int k = 0; k < 4; ++k) {
      HLine(dc, cx - k, cx + k + 1, (spin.top + mid) / 2 - 2 + k, RGB(40, 50, 60));
      HLine(dc, cx - k, cx + k + 1, (mid + spin.bottom) / 2 + 2 - k, RGB(40, 50, 60));
    }
  }
  SelectObject(dc, old);
}

void Step(HWND window, DatePicker* p, int delta) {
  if (!Editable(*p, p->field)) return;
  p->typed.clear();
  SYSTEMTIME before = p->time;
  StepField(p->format.fields()[p->field].kind, delta, &p->time);
  if (std::memcmp(&before, &p->time, sizeof before) != 0) Changed(window, p->time);
}

// A digit typed into the current field: the value shows as soon as it makes a real time;
// once the field has all its digits (or no further digit could fit) the next field is taken.
// A complete value that makes no real time is refused and the field keeps its value.
void TypeDigit(HWND window, DatePicker* p, int digit) {
  if (!Editable(*p, p->field)) return;
  FieldKind kind = p->format.fields()[p->field].kind;
  if (p->typed.empty()) p->untyped = p->time;
  p->typed += static_cast<char>('0' + digit);
  int value = std::stoi(p->typed);
  bool complete = static_cast<int>(p->typed.size()) >= FieldDigits(kind) ||
                  value * 10 > FieldMax(kind, p->time);
  SYSTEMTIME t = p->time;
  bool valid = value >= FieldMin(kind) && SetField(kind, value, &t);
  if (valid && std::memcmp(&t, &p->time, sizeof t) != 0) {
    p->time = t;
    Changed(window, t);
    if ((p = States().Get(window)) == nullptr) return;
  }
  if (!complete) return;
  p->typed.clear();
  if (valid) {
    p->field = NextField(*p, p->field, +1);
    InvalidateRect(window, nullptr, FALSE);
  } else if (std::memcmp(&p->untyped, &p->time, sizeof t) != 0) {
    p->time = p->untyped;  // the digits shown on the way to a refused value go too
    Changed(window, p->time);
  }
}

void OnKey(HWND window, DatePicker* p, UINT key) {
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      p->typed.clear();
      p->field = NextField(*p, p->field, key == VK_LEFT ? -1 : +1);
      InvalidateRect(window, nullptr, FALSE);
      return;
    case VK_HOME:
      p->typed.clear();
      p->field = FirstField(*p);
      InvalidateRect(window, nullptr, FALSE);
      return;
    case VK_UP:
      Step(window, p, +1);
      return;
    case VK_DOWN:
      Step(window, p, -1);
      return;
    default:
      if (key >= '0' && key <= '9') TypeDigit(window, p, static_cast<int>(key - '0'));
      return;
  }
}

// The field under x, measured as Paint lays them out.
int FieldAt(HWND window, DatePicker* p, int x) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, FontOr(p->font));
  int left = kPadding;
  int found = -1;
  const auto& fields = p->format.fields();
  for (int i = 0; i < static_cast<int>(fields.size()) && found < 0; ++i) {
    std::string text = DateTimeFormat::FieldText(fields[i], p->time);
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (x < left + size.cx) found = Editable(*p, i) ? i : NextField(*p, i, +1);
    left += size.cx;
  }
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  if (found < 0 && x >= left) found = NextField(*p, static_cast<int>(fields.size()), -1);
  return found;
}

void OnButtonDown(HWND window, DatePicker* p, int x, int y) {
  SetFocus(window);
  if ((p = States().Get(window)) == nullptr) return;
  RECT client;
  GetClientRect(window, &client);
  if (SpinStyle(window) && x >= client.right - kSpinWidth) {
    Step(window, p, y < client.bottom / 2 ? +1 : -1);
    return;
  }
  int field = FieldAt(window, p, x);
  if (Editable(*p, field)) {
    p->field = field;
    p->typed.clear();
    InvalidateRect(window, nullptr, FALSE);
  }
}

LRESULT TextMessage(HWND window, DatePicker* p, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETTEXT) {
    auto* text = reinterpret_cast<LPCSTR>(lparam);
    SYSTEMTIME t;
    if (text == nullptr || !p->format.ParseText(text, p->time, &t)) return FALSE;
    p->time = t;
    p->typed.clear();
    Changed(window, t);
    return TRUE;
  }
  std::string text = p->format.Format(p->time);
  if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
  auto* out = reinterpret_cast<char*>(lparam);
  if (out == nullptr || wparam == 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(wparam) - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<LRESULT>(n);
}

LRESULT Dispatch(HWND window, DatePicker* p, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCDESTROY:
      States().Erase(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, p);
      return 0;
    case WM_SETFONT:
      p->font = reinterpret_cast<HFONT>(wparam);
      if (lparam) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(p->font);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
      if (!Editable(*p, p->field)) p->field = FirstField(*p);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_KILLFOCUS:
    case WM_ENABLE:
      p->typed.clear();
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(window, p, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_KEYDOWN:
      OnKey(window, p, static_cast<UINT>(wparam));
      return 0;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return TextMessage(window, p, message, wparam, lparam);
    case DTM_GETSYSTEMTIME: {
      auto* out = reinterpret_cast<SYSTEMTIME*>(lparam);
      if (out == nullptr) return GDT_ERROR;
      *out = p->time;
      return static_cast<LRESULT>(GDT_VALID);
    }
    case DTM_SETSYSTEMTIME: {
      auto* in = reinterpret_cast<const SYSTEMTIME*>(lparam);
      if (wparam != GDT_VALID || in == nullptr || !IsValidTime(*in)) return FALSE;
      p->time = *in;
      SetDayOfWeek(&p->time);
      p->typed.clear();
      InvalidateRect(window, nullptr, FALSE);
      return TRUE;
    }
    case DTM_SETFORMATA: {
      auto* format = reinterpret_cast<LPCSTR>(lparam);
      p->format = DateTimeFormat::Parse(format != nullptr ? format : "yyyy-MM-dd");
      p->field = GetFocus() == window ? FirstField(*p) : -1;
      p->typed.clear();
      InvalidateRect(window, nullptr, FALSE);
      return TRUE;
    }
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

LRESULT DateTimeProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    DatePicker* made = States().Create(window);
    GetLocalTime(&made->time);
    made->time.wMilliseconds = 0;
    return TRUE;  // the window text is the time, not the creation text
  }
  DatePicker* p = States().Get(window);
  if (p == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return Dispatch(window, p, message, wparam, lparam);
}

}  // namespace

void RegisterDateTimeClass() { RegisterControlClass(DATETIMEPICK_CLASSA, DateTimeProc); }

}  // namespace platform::ui::commctrl
