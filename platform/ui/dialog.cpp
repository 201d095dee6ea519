// Dialog creation from templates, the default dialog procedure and the modal loop.
#include "platform/ui/dialog.h"

#include <algorithm>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/class_registry.h"
#include "platform/ui/controls_draw.h"
#include "platform/ui/dialog_internal.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

constexpr char kDialogClass[] = "#32770";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

thread_local std::vector<HWND> t_modal;  // innermost last

struct CreateContext {
  DialogState* state;
  DLGPROC proc;
  bool attached = false;  // the window took the state (and frees it at WM_NCDESTROY)
};

int MulDivRound(int value, int mul, int div) {
  long long p = static_cast<long long>(value) * mul;
  return static_cast<int>(p >= 0 ? (p + div / 2) / div : (p - div / 2) / div);
}

// The font's base units, as Windows measures them for dialogs.
SIZE BaseUnits(HFONT font) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SIZE extent{0, 0};
  GetTextExtentPoint32A(dc, kAlphabet, 52, &extent);
  SelectObject(dc, old);
  DeleteDC(dc);
  SIZE base{(extent.cx / 26 + 1) / 2, tm.tmHeight};
  if (base.cx <= 0) base.cx = 6;
  if (base.cy <= 0) base.cy = 13;
  return base;
}

HFONT TemplateFont(const DialogTemplate& t, bool* own) {
  *own = false;
  if (t.font_face == nullptr || t.font_points <= 0) return draw::DefaultFont();
  HFONT font = CreateFontA(-MulDivRound(t.font_points, 96, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, t.font_face);
  if (font == nullptr) return draw::DefaultFont();
  *own = true;
  return font;
}

RECT ToPixels(SIZE base, int x, int y, int cx, int cy) {
  int left = MulDivRound(x, base.cx, 4), top = MulDivRound(y, base.cy, 8);
  return RECT{left, top, left + MulDivRound(cx, base.cx, 4), top + MulDivRound(cy, base.cy, 8)};
}

HWND TopLevelOf(HWND window) {
  for (HWND w = window; w != nullptr; w = GetParent(w)) {
    if (!(GetWindowLongA(w, GWL_STYLE) & WS_CHILD)) return w;
  }
  return nullptr;
}

// Sizes the dialog so that its client area is `client` wide and high, and places it.
void Place(HWND dialog, const DialogTemplate& t, const RECT& client, HWND owner) {
  RECT whole, inside;
  GetWindowRect(dialog, &whole);
  GetClientRect(dialog, &inside);
  int width = (client.right - client.left) + (whole.right - whole.left) - inside.right;
  int height = (client.bottom - client.top) + (whole.bottom - whole.top) - inside.bottom;
  POINT at{client.left, client.top};
  bool child = (t.style & WS_CHILD) != 0;
  if (!child && owner != nullptr && !(t.style & DS_ABSALIGN)) ClientToScreen(owner, &at);
  SetWindowPos(dialog, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if ((t.style & DS_CENTER) && !child) CenterWindow(dialog, owner);
}

bool MakeControls(HWND dialog, const DialogTemplate& t, const DialogState& s, HINSTANCE instance) {
  for (int i = 0; i < t.item_count; ++i) {
    const DialogItemTemplate& item = t.items[i];
    if (item.class_name == nullptr) continue;
    RECT r = ToPixels(s.base, item.x, item.y, item.cx, item.cy);
    HWND control = CreateWindowExA(
        item.ex_style | WS_EX_NOPARENTNOTIFY, item.class_name, item.text ? item.text : "",
        item.style | WS_CHILD, r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
        reinterpret_cast<HMENU>(static_cast<intptr_t>(item.id)), instance, nullptr);
    if (control == nullptr) return false;
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), FALSE);
  }
  return true;
}

// WM_INITDIALOG, and the focus it asks for.
void Initialize(HWND dialog, LPARAM param) {
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  LRESULT focus = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
  if (!IsWindow(dialog)) return;
  if (focus && first != nullptr) FocusControl(dialog, first);
}

HWND Create(HINSTANCE instance, const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param,
            bool modal) {
  if (t == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  auto* state = new DialogState;
  state->font = TemplateFont(*t, &state->own_font);
  state->base = BaseUnits(state->font);
  state->modal = modal;
  bool child = (t->style & WS_CHILD) != 0;
  state->owner = child ? parent : TopLevelOf(parent);
  DWORD style = t->style & ~WS_VISIBLE;
  if (child) style |= WS_CLIPSIBLINGS;
  DWORD ex_style = t->ex_style | ((t->style & DS_CONTROL) ? WS_EX_CONTROLPARENT : 0);
  CreateContext context{state, proc, false};
  // Made larger than any frame so that the frame's size can be read off it (Place).
  HWND dialog = CreateWindowExA(ex_style, kDialogClass, t->caption ? t->caption : "", style, 0, 0,
                                200, 200, child ? parent : nullptr, nullptr, instance, &context);
  if (dialog == nullptr) {
    if (!context.attached) delete state;
    return nullptr;
  }
  Place(dialog, *t, ToPixels(state->base, t->x, t->y, t->cx, t->cy), state->owner);
  SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
  if (!MakeControls(dialog, *t, *state, instance)) {
    DestroyWindow(dialog);
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Initialize(dialog, param);
  if (IsWindow(dialog) && (t->style & WS_VISIBLE) && !modal) ShowWindow(dialog, SW_SHOW);
  return IsWindow(dialog) ? dialog : nullptr;
}

bool ReturnsValueDirectly(UINT message) {
  return (message >= WM_CTLCOLOREDIT && message <= WM_CTLCOLORSTATIC) || message == WM_INITDIALOG;
}

LRESULT CtlColor(HWND dialog, UINT message, HDC dc) {
  (void)dialog;
  bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, draw::kText);
  SetBkColor(dc, field ? draw::kField : draw::kFace);
  return reinterpret_cast<LRESULT>(GetSysColorBrush(field ? COLOR_WINDOW : COLOR_BTNFACE));
}

LRESULT EraseBackground(HWND dialog, HDC dc) {
  if (dc == nullptr) return 1;
  auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
      dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dialog)));
  RECT client;
  GetClientRect(dialog, &client);
  FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
  return 1;
}

LRESULT GetDefId(HWND dialog) {
  DialogState* s = StateOf(dialog);
  if (s != nullptr && s->default_id != 0) return MAKELPARAM(s->default_id, DC_HASDEFID);
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    if (SendMessageA(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) {
      return MAKELPARAM(GetDlgCtrlID(c), DC_HASDEFID);
    }
  }
  return 0;
}

void SetDefId(HWND dialog, int id) {
  DialogState* s = StateOf(dialog);
  if (s == nullptr) return;
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    LRESULT code = SendMessageA(c, WM_GETDLGCODE, 0, 0);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) continue;
    bool def = GetDlgCtrlID(c) == id;
    if (def != ((code & DLGC_DEFPUSHBUTTON) != 0)) {
      SendMessageA(c, BM_SETSTYLE, def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
  }
  s->default_id = id;
}

LRESULT NextControl(HWND dialog, WPARAM wparam, LPARAM lparam) {
  HWND target = LOWORD(static_cast<uintptr_t>(lparam))
                    ? reinterpret_cast<HWND>(wparam)
                    : GetNextDlgTabItem(dialog, GetFocus(), wparam != 0);
  if (target != nullptr) FocusControl(dialog, target);
  return 0;
}

LRESULT DefaultHandling(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  DialogState* s = StateOf(dialog);
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
      auto* context = static_cast<CreateContext*>(cs->lpCreateParams);
      SetWindowLongPtrA(dialog, kDialogStateAt, reinterpret_cast<LONG_PTR>(context->state));
      SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(context->proc));
      context->attached = true;
      return DefWindowProcA(dialog, message, wparam, lparam);
    }
    case WM_NCDESTROY:
      if (s != nullptr) {
        if (s->own_font) DeleteObject(s->font);
        delete s;
        SetWindowLongPtrA(dialog, kDialogStateAt, 0);
      }
      return 0;
    case WM_NCPAINT:
      draw::Frame(dialog);
      return 0;
    case WM_ERASEBKGND:
      return EraseBackground(dialog, reinterpret_cast<HDC>(wparam));
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return CtlColor(dialog, message, reinterpret_cast<HDC>(wparam));
    case WM_CLOSE:
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
      return 0;
    case WM_SETFONT:
      if (s != nullptr && !s->own_font) s->font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return s ? reinterpret_cast<LRESULT>(s->font) : 0;
    case DM_GETDEFID:
      return GetDefId(dialog);
    case DM_SETDEFID:
      SetDefId(dialog, static_cast<int>(wparam));
      return TRUE;
    case DM_REPOSITION:
      return 0;
    case WM_NEXTDLGCTL:
      return NextControl(dialog, wparam, lparam);
    case WM_SETFOCUS: {
      HWND back = s && IsWindow(s->last_focus) && IsChild(dialog, s->last_focus)
                      ? s->last_focus
                      : GetNextDlgTabItem(dialog, nullptr, FALSE);
      if (back != nullptr) FocusControl(dialog, back);
      return 0;
    }
    case WM_GETDLGCODE:
      return 0;
    case WM_SETTEXT: {  // the caption is in the frame
      LRESULT done = DefWindowProcA(dialog, message, wparam, lparam);
      RedrawWindow(dialog, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
      return done;
    }
    default: {
      LRESULT result = 0;
      if (HandleFrameMouse(dialog, message, wparam, lparam, &result)) return result;
      return DefWindowProcA(dialog, message, wparam, lparam);
    }
  }
}

bool AllowedParent(HWND parent) { return parent == nullptr || IsWindow(parent); }

}  // namespace

DialogState* StateOf(HWND dialog) {
  return reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, kDialogStateAt));
}

void RegisterDialogClass() {
  auto c = std::make_shared<WindowClass>();
  c->name = kDialogClass;
  c->style = CS_DBLCLKS;
  c->proc = DefDlgProcA;
  c->cursor = LoadCursorA(nullptr, IDC_ARROW);
  c->extra_bytes = kDialogExtraBytes;
  AddClass(c);
}

HWND CurrentModalDialog() { return t_modal.empty() ? nullptr : t_modal.back(); }

void CenterWindow(HWND window, HWND parent) {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT around = area;
  if (parent != nullptr) GetWindowRect(parent, &around);
  RECT r;
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (around.left + around.right - w) / 2;
  int y = (around.top + around.bottom - h) / 2;
  x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right) - w));
  y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom) - h));
  POINT at{x, y};
  HWND container = GetParent(window);
  if (container != nullptr) ScreenToClient(container, &at);
  SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace platform::ui

using platform::ui::DialogState;
using platform::ui::StateOf;

LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_NCCREATE) {
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
    if (proc != nullptr) {
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
      INT_PTR handled = proc(dialog, message, wparam, lparam);
      if (platform::ui::ReturnsValueDirectly(message)) {
        if (handled || message == WM_INITDIALOG) return handled;
      } else if (handled) {
        return GetWindowLongPtrA(dialog, DWLP_MSGRESULT);
      }
      if (!IsWindow(dialog)) return 0;
    }
  }
  return platform::ui::DefaultHandling(dialog, message, wparam, lparam);
}

HWND CreateDialogIndirectParamA(HINSTANCE instance, const platform::ui::DialogTemplate* tmpl,
                                HWND parent, DLGPROC proc, LPARAM param) {
  platform::gdi::InstallDcProvider();
  if (!platform::ui::AllowedParent(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return platform::ui::Create(instance, tmpl, parent, proc, param, false);
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  return CreateDialogIndirectParamA(instance, platform::ui::FindDialogTemplate(instance, name),
                                    parent, proc, param);
}

INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const platform::ui::DialogTemplate* tmpl,
                                HWND owner, DLGPROC proc, LPARAM param) {
  platform::gdi::InstallDcProvider();
  if (!platform::ui::AllowedParent(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  HWND focus_before = GetFocus();  // given back when the box goes, as activation returns
  HWND dialog = platform::ui::Create(instance, tmpl, owner, proc, param, true);
  if (dialog == nullptr) return -1;
  DialogState* s = StateOf(dialog);
  HWND top_owner = s->owner;
  bool disabled_owner = top_owner != nullptr && IsWindowEnabled(top_owner);
  if (disabled_owner) EnableWindow(top_owner, FALSE);
  platform::ui::t_modal.push_back(dialog);
  if (!s->ended) {
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
  }
  bool quit = false;
  WPARAM quit_code = 0;
  MSG msg;
  while (IsWindow(dialog) && !StateOf(dialog)->ended) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      quit = got == 0;
      quit_code = msg.wParam;
      break;
    }
    if (!IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  platform::ui::t_modal.pop_back();
  INT_PTR result = IsWindow(dialog) && StateOf(dialog) ? StateOf(dialog)->result : -1;
  if (disabled_owner) EnableWindow(top_owner, TRUE);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  if (focus_before != nullptr && IsWindow(focus_before) && IsWindowEnabled(focus_before)) {
    SetFocus(focus_before);
  }
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
  return result;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
  return DialogBoxIndirectParamA(instance, platform::ui::FindDialogTemplate(instance, name), owner,
                                 proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  DialogState* s = IsWindow(dialog) ? StateOf(dialog) : nullptr;
  if (s == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  s->ended = true;
  s->result = result;
  ShowWindow(dialog, SW_HIDE);
  // The modal loop may be waiting in GetMessage: give it something to look at.
  if (s->modal) PostMessageA(dialog, WM_NULL, 0, 0);
  return TRUE;
}

LONG GetDialogBaseUnits() {
  SIZE base = platform::ui::BaseUnits(platform::ui::draw::DefaultFont());
  return static_cast<LONG>(MAKELPARAM(base.cx, base.cy));
}
