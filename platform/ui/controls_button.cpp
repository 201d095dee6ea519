// The "BUTTON" class: push, default push, check, three-state, radio, group box and owner-drawn.
#include <memory>

#include "platform/ui/class_registry.h"
#include "platform/ui/controls_draw.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

constexpr int kBoxSize = 13;

struct Button {
  HFONT font = nullptr;
  WPARAM check = BST_UNCHECKED;
  bool pushed = false;    // drawn pressed: the mouse is down inside or Space is held
  bool tracking = false;  // the left button went down on it and it holds the capture
  bool focus = false;
  HANDLE image = nullptr;
};

DWORD Style(HWND w) { return static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)); }
DWORD Type(HWND w) { return Style(w) & BS_TYPEMASK; }

bool IsPush(DWORD type) {
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW;
}
bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
bool IsCheck(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
         type == BS_AUTO3STATE;
}

void Redraw(HWND w) { InvalidateRect(w, nullptr, FALSE); }

// Unchecks the other auto radio buttons of the group the button is in.
void UncheckGroup(HWND w) {
  HWND parent = GetParent(w);
  if (parent == nullptr) return;
  HWND first = w;
  while (!(GetWindowLongA(first, GWL_STYLE) & WS_GROUP)) {
    HWND prev = GetWindow(first, GW_HWNDPREV);
    if (prev == nullptr) break;
    first = prev;
  }
  for (HWND s = first; s != nullptr; s = GetWindow(s, GW_HWNDNEXT)) {
    if (s != first && (GetWindowLongA(s, GWL_STYLE) & WS_GROUP)) break;
    if (s == w) continue;
    if ((GetWindowLongA(s, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
        SendMessageA(s, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
      SendMessageA(s, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
}

// What a completed click does: auto styles change their check, then the parent is told.
void Clicked(HWND w) {
  if (!IsWindowEnabled(w)) return;
  Button* b = ControlState<Button>(w);
  DWORD type = Type(w);
  if (type == BS_AUTOCHECKBOX) {
    SendMessageA(w, BM_SETCHECK, b->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
  } else if (type == BS_AUTO3STATE) {
    SendMessageA(w, BM_SETCHECK, (b->check + 1) % 3, 0);
  } else if (type == BS_AUTORADIOBUTTON) {
    SendMessageA(w, BM_SETCHECK, BST_CHECKED, 0);
    UncheckGroup(w);
  }
  NotifyParent(w, BN_CLICKED);
}

void SetPushed(HWND w, bool pushed) {
  Button* b = ControlState<Button>(w);
  if (b->pushed == pushed) return;
  b->pushed = pushed;
  Redraw(w);
}

bool Inside(HWND w, LPARAM lparam) {
  RECT client;
  GetClientRect(w, &client);
  POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  return PtInRect(&client, p) != FALSE;
}

void DrawPush(HWND w, HDC dc, const Button& b, const RECT& client, const std::string& text) {
  RECT r = client;
  bool def = Type(w) == BS_DEFPUSHBUTTON;
  bool down = b.pushed || ((Style(w) & BS_PUSHLIKE) && b.check == BST_CHECKED);
  draw::Fill(dc, r, draw::kFace);
  if (def) {
    draw::Edge(dc, r, draw::kText, draw::kText);
    InflateRect(&r, -1, -1);
  }
  if (down) {
    draw::Edge(dc, r, draw::kShadow, draw::kShadow);
    InflateRect(&r, -2, -2);
    OffsetRect(&r, 1, 1);
  } else {
    draw::Raised(dc, &r);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(w) ? draw::kText : draw::kGrayText);
  RECT text_rect = r;
  draw::Text(dc, b.font, text, &text_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (b.focus) {
    RECT f = client;
    InflateRect(&f, -4, -4);
    DrawFocusRect(dc, &f);
  }
}

void DrawMark(HWND w, HDC dc, const Button& b, const RECT& box) {
  bool enabled = IsWindowEnabled(w);
  COLORREF ink = enabled ? draw::kText : draw::kGrayText;
  if (IsRadio(Type(w))) {
    // A round box: rows of a circle of radius 6 around the box's centre.
    static const int kHalf[] = {2, 4, 5, 5, 6, 6, 6, 6, 6, 5, 5, 4, 2};
    for (int row = 0; row < kBoxSize; ++row) {
      int half = kHalf[row];
      int cx = box.left + 6;
      draw::Fill(dc, RECT{cx - half, box.top + row, cx + half + 1, box.top + row + 1},
                 draw::kShadow);
      if (row > 0 && row < kBoxSize - 1) {
        int in = kHalf[row] - 1;
        draw::Fill(dc, RECT{cx - in, box.top + row, cx + in + 1, box.top + row + 1},
                   b.pushed ? draw::kFace : draw::kField);
      }
    }
    if (b.check == BST_CHECKED) {
      static const int kDot[] = {1, 2, 2, 2, 1};  // half widths of a round dot
      for (int row = 0; row < 5; ++row) {
        int cx = box.left + 6;
        draw::Fill(dc,
                   RECT{cx - kDot[row], box.top + 4 + row, cx + kDot[row] + 1, box.top + 5 + row},
                   ink);
      }
    }
    return;
  }
  RECT r = box;
  draw::Sunken(dc, &r);
  draw::Fill(dc, r, b.pushed || !enabled ? draw::kFace : draw::kField);
  if (b.check == BST_UNCHECKED) return;
  COLORREF mark = b.check == BST_INDETERMINATE ? draw::kShadow : ink;
  // A tick: down from (3, 5) to (5, 7), then up to (9, 3), three pixels thick.
  int x0 = box.left + 3, y0 = box.top + 5;
  for (int i = 0; i < 7; ++i) {
    int y = i < 3 ? y0 + i : y0 + 4 - i;
    draw::Fill(dc, RECT{x0 + i, y, x0 + i + 1, y + 3}, mark);
  }
}

void DrawCheckOrRadio(HWND w, HDC dc, const Button& b, const RECT& client,
                      const std::string& text) {
  bool left_text = (Style(w) & BS_LEFTTEXT) != 0;
  int top = (client.bottom - kBoxSize) / 2;
  RECT box = left_text ? RECT{client.right - kBoxSize, top, client.right, top + kBoxSize}
                       : RECT{0, top, kBoxSize, top + kBoxSize};
  DrawMark(w, dc, b, box);
  RECT text_rect = left_text ? RECT{0, 0, client.right - kBoxSize - 4, client.bottom}
                             : RECT{kBoxSize + 4, 0, client.right, client.bottom};
  SetBkMode(dc, TRANSPARENT);
  if (!IsWindowEnabled(w)) SetTextColor(dc, draw::kGrayText);
  draw::Text(dc, b.font, text, &text_rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (b.focus && !text.empty()) {
    RECT measured = text_rect;
    draw::Text(dc, b.font, text, &measured, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    RECT f{text_rect.left - 1, (client.bottom - (measured.bottom - measured.top)) / 2 - 1,
           text_rect.left + (measured.right - measured.left) + 1, 0};
    f.bottom = f.top + (measured.bottom - measured.top) + 2;
    DrawFocusRect(dc, &f);
  }
}

void DrawGroup(HWND w, HDC dc, const Button& b, const RECT& client, const std::string& text) {
  int half = draw::FontHeight(b.font) / 2;
  RECT frame{0, half, client.right, client.bottom};
  draw::Edge(dc, frame, draw::kShadow, draw::kLight);
  InflateRect(&frame, -1, -1);
  draw::Edge(dc, frame, draw::kLight, draw::kShadow);
  if (text.empty()) return;
  RECT t{8, 0, client.right - 8, half * 2};
  draw::Text(dc, b.font, text, &t, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
  RECT behind{6, 0, t.right + 2, t.bottom};
  HBRUSH brush = draw::ParentBrush(w, dc, WM_CTLCOLORSTATIC);
  FillRect(dc, &behind, brush);
  SetBkMode(dc, TRANSPARENT);
  if (!IsWindowEnabled(w)) SetTextColor(dc, draw::kGrayText);
  draw::Text(dc, b.font, text, &t, DT_LEFT | DT_SINGLELINE);
}

void OwnerDraw(HWND w, HDC dc, const Button& b, const RECT& client) {
  UINT state = 0;
  if (b.pushed) state |= ODS_SELECTED;
  if (b.focus) state |= ODS_FOCUS;
  if (!IsWindowEnabled(w)) state |= ODS_DISABLED;
  DRAWITEMSTRUCT dis{
      ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(w)), 0, ODA_DRAWENTIRE, state, w, dc, client, 0};
  HWND parent = GetParent(w);
  if (parent) SendMessageA(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

void Paint(HWND w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  Button* b = ControlState<Button>(w);
  if (dc != nullptr && b != nullptr) {
    RECT client;
    GetClientRect(w, &client);
    char text[512];
    GetWindowTextA(w, text, sizeof(text));
    DWORD type = Type(w);
    if (type == BS_OWNERDRAW) {
      OwnerDraw(w, dc, *b, client);
    } else {
      HBRUSH brush = draw::ParentBrush(w, dc, IsPush(type) ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC);
      if (!IsPush(type) && type != BS_GROUPBOX) FillRect(dc, &client, brush);
      if (IsPush(type) || (Style(w) & BS_PUSHLIKE)) {
        DrawPush(w, dc, *b, client, text);
      } else if (type == BS_GROUPBOX) {
        DrawGroup(w, dc, *b, client, text);
      } else {
        DrawCheckOrRadio(w, dc, *b, client, text);
      }
    }
  }
  EndPaint(w, &ps);
}

LRESULT DlgCode(HWND w) {
  DWORD type = Type(w);
  if (type == BS_GROUPBOX) return DLGC_STATIC;
  if (IsRadio(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
  if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
  if (IsPush(type)) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
  return DLGC_BUTTON;
}

LRESULT Mouse(HWND w, UINT message, LPARAM lparam) {
  Button* b = ControlState<Button>(w);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (Type(w) == BS_GROUPBOX) return 0;
      SetFocus(w);
      SetCapture(w);
      b->tracking = true;
      SetPushed(w, true);
      return 0;
    case WM_MOUSEMOVE:
      if (b->tracking) SetPushed(w, Inside(w, lparam));
      return 0;
    case WM_LBUTTONUP: {
      if (!b->tracking) return 0;
      b->tracking = false;
      bool inside = Inside(w, lparam);
      SetPushed(w, false);
      ReleaseCapture();
      if (inside) Clicked(w);
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT Keyboard(HWND w, UINT message, WPARAM key) {
  Button* b = ControlState<Button>(w);
  if (key != VK_SPACE || Type(w) == BS_GROUPBOX) return 0;
  if (message == WM_KEYDOWN) {
    SetPushed(w, true);
  } else if (b->pushed) {
    SetPushed(w, false);
    Clicked(w);
  }
  return 0;
}

LRESULT SetCheck(HWND w, WPARAM check) {
  Button* b = ControlState<Button>(w);
  DWORD type = Type(w);
  if (!IsCheck(type) && !IsRadio(type) && !(Style(w) & BS_PUSHLIKE)) return 0;
  WPARAM limit = (type == BS_3STATE || type == BS_AUTO3STATE) ? BST_INDETERMINATE : BST_CHECKED;
  check = check > limit ? limit : check;
  if (b->check != check) {
    b->check = check;
    Redraw(w);
  }
  // A checked radio button is the group's tab stop.
  if (IsRadio(type) && check == BST_CHECKED) {
    SetWindowLongA(w, GWL_STYLE, static_cast<LONG>(Style(w) | WS_TABSTOP));
  }
  return 0;
}

LRESULT ButtonProc(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
  Button* b = ControlState<Button>(w);
  if (b == nullptr && message != WM_NCCREATE) return DefWindowProcA(w, message, wparam, lparam);
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrA(w, 0, reinterpret_cast<LONG_PTR>(new Button));
      return DefWindowProcA(w, message, wparam, lparam);
    case WM_NCDESTROY:
      delete b;
      SetWindowLongPtrA(w, 0, 0);
      return 0;
    case WM_NCPAINT:
      draw::Frame(w);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(w);
      return 0;
    case WM_GETDLGCODE:
      return DlgCode(w);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
      return Mouse(w, message, lparam);
    case WM_CAPTURECHANGED:
      b->tracking = false;
      SetPushed(w, false);
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
      return Keyboard(w, message, wparam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      b->focus = message == WM_SETFOCUS;
      if (!b->focus) SetPushed(w, false);
      Redraw(w);
      if (Style(w) & BS_NOTIFY) NotifyParent(w, b->focus ? BN_SETFOCUS : BN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      Redraw(w);
      return 0;
    case WM_SETTEXT: {
      LRESULT done = DefWindowProcA(w, message, wparam, lparam);
      Redraw(w);
      return done;
    }
    case WM_SETFONT:
      b->font = reinterpret_cast<HFONT>(wparam);
      if (LOWORD(static_cast<uintptr_t>(lparam))) Redraw(w);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(b->font);
    case BM_GETCHECK:
      return static_cast<LRESULT>(b->check);
    case BM_SETCHECK:
      return SetCheck(w, wparam);
    case BM_GETSTATE:
      return static_cast<LRESULT>(b->check | (b->pushed ? BST_PUSHED : 0) |
                                  (b->focus ? BST_FOCUS : 0));
    case BM_SETSTATE:
      SetPushed(w, wparam != 0);
      return 0;
    case BM_SETSTYLE:
      // The dialog moves the default look between push buttons; an owner-drawn button stays
      // owner-drawn (its parent draws any default look).
      if (Type(w) == BS_OWNERDRAW && (wparam & BS_TYPEMASK) <= BS_DEFPUSHBUTTON) return 0;
      SetWindowLongA(w, GWL_STYLE, static_cast<LONG>((Style(w) & ~0xFFFFu) | (wparam & 0xFFFFu)));
      if (LOWORD(static_cast<uintptr_t>(lparam))) Redraw(w);
      return 0;
    case BM_CLICK:
      Clicked(w);
      return 0;
    case BM_SETIMAGE: {
      HANDLE old = b->image;
      b->image = reinterpret_cast<HANDLE>(lparam);
      Redraw(w);
      return reinterpret_cast<LRESULT>(old);
    }
    case BM_GETIMAGE:
      return reinterpret_cast<LRESULT>(b->image);
    default:
      return DefWindowProcA(w, message, wparam, lparam);
  }
}

bool GroupBoxPassesMouse(DWORD style) { return (style & BS_TYPEMASK) == BS_GROUPBOX; }

}  // namespace

void RegisterButtonClass() {
  auto c = StandardControlClass("BUTTON", ButtonProc);
  c->transparent_style = GroupBoxPassesMouse;
  AddClass(c);
}

}  // namespace platform::ui
