// The "EDIT" class, single line: caret, selection by keyboard and mouse, a clipboard shared
// by the process's edit controls, GBK text, password, number-only and read-only styles.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/ui/class_registry.h"
#include "platform/ui/controls_draw.h"
#include "platform/ui/controls_edit_text.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

constexpr int kMargin = 2;

struct Edit {
  EditText text;
  HFONT font = nullptr;
  bool focus = false;
  bool modified = false;
  bool tracking = false;
  int scroll = 0;          // pixels of text hidden on the left
  unsigned char lead = 0;  // first byte of a two-byte character typed as two WM_CHARs
};

struct Clipboard {
  std::mutex mutex;
  std::string text;  // guarded by mutex
};

Clipboard& TheClipboard() {
  static auto* clipboard = new Clipboard;
  return *clipboard;
}

DWORD Style(HWND w) { return static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)); }
void Redraw(HWND w) { InvalidateRect(w, nullptr, TRUE); }

// What is shown for the text up to `offset`: stars for a password.
std::string Shown(HWND w, const Edit& e, size_t offset) {
  const std::string& t = e.text.text();
  if (!(Style(w) & ES_PASSWORD)) return t.substr(0, offset);
  size_t chars = 0;
  for (size_t at = 0; at < offset; at = e.text.Next(at)) ++chars;
  return std::string(chars, '*');
}

int Width(HWND w, const Edit& e, size_t offset) {
  HDC dc = CreateCompatibleDC(nullptr);
  std::string shown = Shown(w, e, offset);
  SIZE s = draw::TextSize(dc, e.font, shown.c_str(), static_cast<int>(shown.size()));
  DeleteDC(dc);
  return static_cast<int>(s.cx);
}

// Where the text starts: ES_RIGHT and ES_CENTER place a text that fits, one that does not
// scrolls from the left.
int TextLeft(HWND w, const Edit& e) {
  DWORD align = Style(w) & (ES_CENTER | ES_RIGHT);
  if (align == 0) return kMargin;
  RECT client;
  GetClientRect(w, &client);
  int room = static_cast<int>(client.right) - 2 * kMargin - Width(w, e, e.text.text().size());
  if (room <= 0) return kMargin;
  return kMargin + (align & ES_RIGHT ? room : room / 2);
}

int XOf(HWND w, const Edit& e, size_t offset) {
  return TextLeft(w, e) + Width(w, e, offset) - e.scroll;
}

size_t OffsetAt(HWND w, const Edit& e, int x) {
  size_t best = 0;
  int best_distance = 1 << 30;
  const std::string& t = e.text.text();
  for (size_t at = 0;; at = e.text.Next(at)) {
    int d = std::abs(XOf(w, e, at) - x);
    if (d < best_distance) {
      best_distance = d;
      best = at;
    }
    if (at >= t.size()) break;
  }
  return best;
}

void KeepCaretVisible(HWND w, Edit* e) {
  RECT client;
  GetClientRect(w, &client);
  int x = XOf(w, *e, e->text.caret());
  int right = client.right - kMargin;
  if (x > right) e->scroll += x - right;
  if (x < kMargin) e->scroll = std::max(0, e->scroll - (kMargin - x));
}

void Changed(HWND w, Edit* e) {
  e->modified = true;
  KeepCaretVisible(w, e);
  Redraw(w);
  NotifyParent(w, EN_UPDATE);
  NotifyParent(w, EN_CHANGE);
}

void Moved(HWND w, Edit* e) {
  KeepCaretVisible(w, e);
  Redraw(w);
}

void Paint(HWND w, Edit* e) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  if (dc != nullptr) {
    RECT client;
    GetClientRect(w, &client);
    bool read_only = (Style(w) & ES_READONLY) || !IsWindowEnabled(w);
    HBRUSH brush = draw::ParentBrush(w, dc, read_only ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    FillRect(dc, &client, brush);
    COLORREF ink = IsWindowEnabled(w) ? GetTextColor(dc) : draw::kGrayText;
    int height = draw::FontHeight(e->font);
    int top = (client.bottom - height) / 2;
    std::string all = Shown(w, *e, e->text.text().size());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ink);
    RECT line{TextLeft(w, *e) - e->scroll, top, client.right + 4096, top + height};
    draw::Text(dc, e->font, all, &line, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    if (e->text.has_selection() && (e->focus || (Style(w) & ES_NOHIDESEL))) {
      int x0 = XOf(w, *e, e->text.sel_start()), x1 = XOf(w, *e, e->text.sel_end());
      RECT band{x0, top, x1, top + height};
      draw::Fill(dc, band, draw::kSelection);
      std::string part =
          Shown(w, *e, e->text.sel_end()).substr(Shown(w, *e, e->text.sel_start()).size());
      SetTextColor(dc, draw::kSelectionText);
      draw::Text(dc, e->font, part, &band, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
    if (e->focus) {
      int x = XOf(w, *e, e->text.caret());
      draw::Fill(dc, RECT{x, top, x + 1, top + height}, draw::kText);
    }
  }
  EndPaint(w, &ps);
}

bool ReadOnly(HWND w) { return (Style(w) & ES_READONLY) != 0; }

void Copy(const Edit& e, HWND w) {
  if (!e.text.has_selection() || (Style(w) & ES_PASSWORD)) return;
  std::lock_guard<std::mutex> lock(TheClipboard().mutex);
  TheClipboard().text = e.text.selected();
}

// Typed or pasted text, filtered by the style; false when none of it went in.
void Insert(HWND w, Edit* e, std::string s) {
  DWORD style = Style(w);
  if (ReadOnly(w)) return;
  if (style & ES_NUMBER) {
    s.erase(std::remove_if(s.begin(), s.end(),
                           [](char c) { return !std::isdigit(static_cast<unsigned char>(c)); }),
            s.end());
    if (s.empty()) return;
  }
  for (char& c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) continue;
    if (style & ES_UPPERCASE) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (style & ES_LOWERCASE) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  std::string before = e->text.text();
  bool whole = e->text.Replace(s);
  if (e->text.text() != before) Changed(w, e);
  if (!whole) NotifyParent(w, EN_MAXTEXT);
}

void Paste(HWND w, Edit* e) {
  std::string s;
  {
    std::lock_guard<std::mutex> lock(TheClipboard().mutex);
    s = TheClipboard().text;
  }
  // One line: the text stops at the first line end.
  s = s.substr(0, s.find_first_of("\r\n"));
  Insert(w, e, s);
}

LRESULT Char(HWND w, Edit* e, WPARAM ch) {
  switch (ch) {
    case 1:  // Ctrl+A
      e->text.Select(0, -1);
      Moved(w, e);
      return 0;
    case 3:  // Ctrl+C
      Copy(*e, w);
      return 0;
    case 22:  // Ctrl+V
      Paste(w, e);
      return 0;
    case 24:  // Ctrl+X
      if (ReadOnly(w)) return 0;
      Copy(*e, w);
      if (e->text.has_selection()) Insert(w, e, "");
      return 0;
    case VK_BACK:
      if (!ReadOnly(w) && e->text.Backspace()) Changed(w, e);
      return 0;
    default:
      break;
  }
  if (ch > 0xFF) {  // one WM_CHAR carrying a whole two-byte character
    Insert(w, e, std::string{static_cast<char>(ch >> 8), static_cast<char>(ch & 0xFF)});
    return 0;
  }
  auto byte = static_cast<unsigned char>(ch);
  if (e->lead != 0) {
    Insert(w, e,
           std::string{static_cast<char>(std::exchange(e->lead, 0)), static_cast<char>(byte)});
    return 0;
  }
  if (IsLeadByte(byte)) {
    e->lead = byte;
    return 0;
  }
  if (byte >= 0x20 && byte != 0x7F) Insert(w, e, std::string(1, static_cast<char>(byte)));
  return 0;
}

LRESULT Key(HWND w, Edit* e, WPARAM key) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  switch (key) {
    case VK_LEFT:
      e->text.Left(shift);
      break;
    case VK_RIGHT:
      e->text.Right(shift);
      break;
    case VK_HOME:
      e->text.Home(shift);
      break;
    case VK_END:
      e->text.End(shift);
      break;
    case VK_DELETE:
      if (!ReadOnly(w) && e->text.Delete()) Changed(w, e);
      return 0;
    case VK_INSERT:
      if (shift) Paste(w, e);
      if (GetKeyState(VK_CONTROL) < 0) Copy(*e, w);
      return 0;
    default:
      return 0;
  }
  Moved(w, e);
  return 0;
}

LRESULT Mouse(HWND w, Edit* e, UINT message, LPARAM lparam) {
  int x = GET_X_LPARAM(lparam);
  switch (message) {
    case WM_LBUTTONDOWN:
      SetFocus(w);
      SetCapture(w);
      e->tracking = true;
      e->text.MoveTo(OffsetAt(w, *e, x), GetKeyState(VK_SHIFT) < 0);
      Moved(w, e);
      return 0;
    case WM_MOUSEMOVE:
      if (!e->tracking) return 0;
      e->text.MoveTo(OffsetAt(w, *e, x), true);
      Moved(w, e);
      return 0;
    case WM_LBUTTONUP:
      if (e->tracking) ReleaseCapture();
      e->tracking = false;
      return 0;
    case WM_LBUTTONDBLCLK:
      e->text.Select(0, -1);
      Moved(w, e);
      return 0;
    default:
      return 0;
  }
}

LRESULT GetSel(const Edit& e, WPARAM wparam, LPARAM lparam) {
  auto start = static_cast<DWORD>(e.text.sel_start());
  auto end = static_cast<DWORD>(e.text.sel_end());
  if (wparam) *reinterpret_cast<DWORD*>(wparam) = start;
  if (lparam) *reinterpret_cast<DWORD*>(lparam) = end;
  return MAKELPARAM(static_cast<int>(std::min<DWORD>(start, 0xFFFF)),
                    static_cast<int>(std::min<DWORD>(end, 0xFFFF)));
}

LRESULT GetText(const Edit& e, WPARAM size, LPARAM buffer) {
  auto* out = reinterpret_cast<char*>(buffer);
  if (out == nullptr || size == 0) return 0;
  const std::string& t = e.text.text();
  size_t n = std::min(t.size(), static_cast<size_t>(size) - 1);
  std::memcpy(out, t.data(), n);
  out[n] = '\0';
  return static_cast<LRESULT>(n);
}

LRESULT EditMessage(HWND w, Edit* e, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SETTEXT:
      e->text.Set(lparam ? reinterpret_cast<const char*>(lparam) : "");
      e->scroll = 0;
      e->modified = false;
      KeepCaretVisible(w, e);
      Redraw(w);
      NotifyParent(w, EN_CHANGE);
      return TRUE;
    case WM_GETTEXT:
      return GetText(*e, wparam, lparam);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(e->text.text().size());
    case EM_GETSEL:
      return GetSel(*e, wparam, lparam);
    case EM_SETSEL:
      e->text.Select(static_cast<long>(static_cast<intptr_t>(wparam)), static_cast<long>(lparam));
      Moved(w, e);
      return 0;
    case EM_REPLACESEL: {
      std::string before = e->text.text();
      e->text.Replace(lparam ? reinterpret_cast<const char*>(lparam) : "");
      if (e->text.text() != before) Changed(w, e);
      return 0;
    }
    case EM_SETLIMITTEXT:
      e->text.set_limit(wparam);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(e->text.limit());
    case EM_GETMODIFY:
      return e->modified;
    case EM_SETMODIFY:
      e->modified = wparam != 0;
      return 0;
    case EM_SETREADONLY: {
      DWORD style = wparam ? (Style(w) | ES_READONLY) : (Style(w) & ~ES_READONLY);
      SetWindowLongA(w, GWL_STYLE, static_cast<LONG>(style));
      Redraw(w);
      return TRUE;
    }
    case WM_COPY:
      Copy(*e, w);
      return 0;
    case WM_CUT:
      return Char(w, e, 24);
    case WM_PASTE:
      Paste(w, e);
      return 0;
    case WM_CLEAR:
      if (!ReadOnly(w) && e->text.has_selection()) Insert(w, e, "");
      return 0;
    default:
      return DefWindowProcA(w, message, wparam, lparam);
  }
}

LRESULT EditProc(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* e = ControlState<Edit>(w);
  if (e == nullptr && message != WM_NCCREATE) return DefWindowProcA(w, message, wparam, lparam);
  switch (message) {
    case WM_NCCREATE: {
      auto* state = new Edit;
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
      if (cs && cs->lpszName) state->text.Set(cs->lpszName);
      SetWindowLongPtrA(w, 0, reinterpret_cast<LONG_PTR>(state));
      return TRUE;
    }
    case WM_NCDESTROY:
      delete e;
      SetWindowLongPtrA(w, 0, 0);
      return 0;
    case WM_NCPAINT:
      draw::Frame(w);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(w, e);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SETFONT:
      e->font = reinterpret_cast<HFONT>(wparam);
      Redraw(w);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(e->font);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      e->focus = message == WM_SETFOCUS;
      e->lead = 0;
      Redraw(w);
      NotifyParent(w, e->focus ? EN_SETFOCUS : EN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      Redraw(w);
      return 0;
    case WM_CAPTURECHANGED:
      e->tracking = false;
      return 0;
    case WM_CHAR:
      return Char(w, e, wparam);
    case WM_KEYDOWN:
      return Key(w, e, wparam);
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      return Mouse(w, e, message, lparam);
    default:
      return EditMessage(w, e, message, wparam, lparam);
  }
}

}  // namespace

void RegisterEditClass() {
  auto c = StandardControlClass("EDIT", EditProc, IDC_IBEAM);
  AddClass(c);
}

}  // namespace platform::ui
