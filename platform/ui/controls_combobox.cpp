// The "COMBOBOX" class as a drop-down list: a field showing the chosen item and a list that
// drops below it (a top-level "ComboLBox" window holding the capture while it is open).
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/ui/class_registry.h"
#include "platform/ui/controls_list.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

constexpr int kButtonWidth = 17;
constexpr char kDropClass[] = "ComboLBox";

struct Combo {
  explicit Combo(bool sorted) : model(sorted) {}
  ListModel model;
  HFONT font = nullptr;
  int selected = -1;
  int drop_height = 100;  // the template's height: how far the list may drop
  int row_height = 15;
  bool focus = false;
  HWND drop = nullptr;    // the open list
  int hot = -1;           // the row under the mouse or the arrows in the open list
  int top = 0;            // first row shown in the open list
  bool dragging = false;  // the open list's scroll thumb follows the mouse
  int drag_offset = 0;
};

DWORD Style(HWND w) { return static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)); }
void Redraw(HWND w) { InvalidateRect(w, nullptr, TRUE); }

void FitField(HWND w, Combo* c) {
  c->row_height = RowHeight(c->font);
  RECT r;
  GetWindowRect(w, &r);
  SetWindowPos(w, nullptr, 0, 0, r.right - r.left, c->row_height + 6,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int DropRows(const Combo& c) {
  int fit = std::max(1, (c.drop_height - 2) / c.row_height);
  return std::max(1, std::min(fit, c.model.size()));
}

void KeepHotVisible(Combo* c) {
  int rows = DropRows(*c);
  if (c->hot < c->top) c->top = c->hot;
  if (c->hot >= c->top + rows) c->top = c->hot - rows + 1;
  c->top = std::clamp(c->top, 0, std::max(0, c->model.size() - rows));
}

void Open(HWND w, Combo* c) {
  if (c->drop != nullptr || !IsWindowEnabled(w)) return;
  NotifyParent(w, CBN_DROPDOWN);
  RECT field;
  GetWindowRect(w, &field);
  int height = DropRows(*c) * c->row_height + 2;
  int y = field.bottom;
  if (y + height > GetSystemMetrics(SM_CYSCREEN)) y = field.top - height;
  c->hot = c->selected;
  c->top = 0;
  if (c->hot >= 0) KeepHotVisible(c);
  c->drop = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kDropClass, "", WS_POPUP | WS_BORDER,
                            field.left, y, field.right - field.left, height, nullptr, nullptr,
                            nullptr, nullptr);
  if (c->drop == nullptr) return;
  SetWindowLongPtrA(c->drop, 0, reinterpret_cast<LONG_PTR>(w));
  ShowWindow(c->drop, SW_SHOWNA);
  SetCapture(c->drop);
  Redraw(w);
}

// Closes the open list; `accept` takes its highlighted row as the selection.
void Close(HWND w, Combo* c, bool accept) {
  if (c->drop == nullptr) return;
  HWND drop = std::exchange(c->drop, nullptr);
  if (GetCapture() == drop) ReleaseCapture();
  DestroyWindow(drop);
  Redraw(w);
  bool changed = accept && c->model.Valid(c->hot) && c->hot != c->selected;
  if (changed) c->selected = c->hot;
  NotifyParent(w, accept ? CBN_SELENDOK : CBN_SELENDCANCEL);
  NotifyParent(w, CBN_CLOSEUP);
  if (changed) NotifyParent(w, CBN_SELCHANGE);
}

void Select(HWND w, Combo* c, int index) {
  if (!c->model.Valid(index) || index == c->selected) return;
  c->selected = index;
  Redraw(w);
  NotifyParent(w, CBN_SELCHANGE);
}

void PaintField(HWND w, Combo* c) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  if (dc != nullptr) {
    RECT r;
    GetClientRect(w, &r);
    HBRUSH brush = draw::ParentBrush(w, dc, WM_CTLCOLOREDIT);
    draw::Sunken(dc, &r);
    FillRect(dc, &r, brush);
    RECT button{r.right - kButtonWidth, r.top, r.right, r.bottom};
    RECT face = button;
    if (c->drop) {
      draw::Edge(dc, face, draw::kShadow, draw::kShadow);
      InflateRect(&face, -1, -1);
      draw::Fill(dc, face, draw::kFace);
    } else {
      draw::Raised(dc, &face);
      draw::Fill(dc, face, draw::kFace);
    }
    COLORREF text_ink = IsWindowEnabled(w) ? GetTextColor(dc) : draw::kGrayText;  // the parent's
    COLORREF ink = IsWindowEnabled(w) ? draw::kText : draw::kGrayText;
    int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2 - 1;
    for (int i = 0; i < 4; ++i)
      draw::Fill(dc, RECT{cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1}, ink);
    RECT text{r.left, r.top, button.left, r.bottom};
    bool highlight = c->focus && !c->drop && IsWindowEnabled(w);
    if (highlight) {
      RECT band = text;
      InflateRect(&band, -1, -1);
      draw::Fill(dc, band, draw::kSelection);
    }
    if (c->model.Valid(c->selected)) {
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, highlight ? draw::kSelectionText : text_ink);
      RECT t = text;
      t.left += 3;
      draw::Text(dc, c->font, c->model.at(c->selected).text, &t,
                 DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (highlight) {
      RECT f = text;
      InflateRect(&f, -1, -1);
      DrawFocusRect(dc, &f);
    }
  }
  EndPaint(w, &ps);
}

LRESULT Key(HWND w, Combo* c, WPARAM key) {
  bool alt = GetKeyState(VK_MENU) < 0;
  if (key == VK_F4 || (alt && (key == VK_DOWN || key == VK_UP))) {
    if (c->drop) {
      Close(w, c, true);
    } else {
      Open(w, c);
    }
    return 0;
  }
  if (c->drop && (key == VK_RETURN || key == VK_ESCAPE)) {
    Close(w, c, key == VK_RETURN);
    return 0;
  }
  int n = c->model.size();
  if (n == 0) return 0;
  int current = c->drop ? c->hot : c->selected;
  int at = current;
  if (key == VK_UP) at = current < 0 ? 0 : current - 1;
  if (key == VK_DOWN) at = current < 0 ? 0 : current + 1;
  if (key == VK_HOME) at = 0;
  if (key == VK_END) at = n - 1;
  if (key == VK_PRIOR) at = current - DropRows(*c) + 1;
  if (key == VK_NEXT) at = current + DropRows(*c) - 1;
  at = std::clamp(at, 0, n - 1);
  if (at == current) return 0;
  if (c->drop) {
    c->hot = at;
    KeepHotVisible(c);
    Redraw(c->drop);
  } else {
    Select(w, c, at);
  }
  return 0;
}

LRESULT Char(HWND w, Combo* c, WPARAM ch) {
  if (ch < 0x20 || ch > 0x7E) return 0;
  char prefix[2] = {static_cast<char>(ch), '\0'};
  int found = c->model.Find(c->drop ? c->hot : c->selected, prefix, false);
  if (found < 0) return 0;
  if (c->drop) {
    c->hot = found;
    KeepHotVisible(c);
    Redraw(c->drop);
  } else {
    Select(w, c, found);
  }
  return 0;
}

LRESULT CopyText(const Combo& c, int index, LPARAM buffer) {
  if (!c.model.Valid(index)) return CB_ERR;
  const std::string& t = c.model.at(index).text;
  if (buffer) std::memcpy(reinterpret_cast<char*>(buffer), t.c_str(), t.size() + 1);
  return static_cast<LRESULT>(t.size());
}

LRESULT GetText(const Combo& c, WPARAM size, LPARAM buffer) {
  auto* out = reinterpret_cast<char*>(buffer);
  if (out == nullptr || size == 0) return 0;
  std::string t = c.model.Valid(c.selected) ? c.model.at(c.selected).text : "";
  size_t n = std::min(t.size(), static_cast<size_t>(size) - 1);
  std::memcpy(out, t.data(), n);
  out[n] = '\0';
  return static_cast<LRESULT>(n);
}

LRESULT ComboMessage(HWND w, Combo* c, UINT message, WPARAM wparam, LPARAM lparam) {
  auto text = reinterpret_cast<const char*>(lparam);
  int index = static_cast<int>(wparam);
  switch (message) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      int at = message == CB_ADDSTRING ? c->model.Add(text) : c->model.Insert(index, text);
      if (at < 0) return CB_ERR;
      if (c->selected >= at) ++c->selected;
      return at;
    }
    case CB_DELETESTRING:
      if (!c->model.Delete(index)) return CB_ERR;
      if (c->selected == index) c->selected = -1;
      if (c->selected > index) --c->selected;
      Redraw(w);
      return c->model.size();
    case CB_RESETCONTENT:
      Close(w, c, false);
      c->model.Clear();
      c->selected = -1;
      Redraw(w);
      return CB_OKAY;
    case CB_GETCOUNT:
      return c->model.size();
    case CB_GETCURSEL:
      return c->selected;
    case CB_SETCURSEL:
      c->selected = c->model.Valid(index) ? index : -1;
      Redraw(w);
      return c->selected == -1 && index != -1 ? CB_ERR : c->selected;
    case CB_GETLBTEXT:
      return CopyText(*c, index, lparam);
    case CB_GETLBTEXTLEN:
      return c->model.Valid(index) ? static_cast<LRESULT>(c->model.at(index).text.size()) : CB_ERR;
    case CB_GETITEMDATA:
      return c->model.Valid(index) ? static_cast<LRESULT>(c->model.at(index).data) : CB_ERR;
    case CB_SETITEMDATA:
      if (!c->model.Valid(index)) return CB_ERR;
      c->model.at(index).data = static_cast<ULONG_PTR>(lparam);
      return CB_OKAY;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      return c->model.Find(index, text, message == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
      int found = c->model.Find(index, text, false);
      if (found < 0) return CB_ERR;
      c->selected = found;
      Redraw(w);
      return found;
    }
    case CB_SHOWDROPDOWN:
      if (wparam) {
        Open(w, c);
      } else {
        Close(w, c, false);
      }
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return c->drop != nullptr;
    case CB_GETDROPPEDCONTROLRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (r == nullptr) return CB_ERR;
      GetWindowRect(w, r);
      r->bottom = r->top + (r->bottom - r->top) + c->drop_height;
      return TRUE;
    }
    default:
      return DefWindowProcA(w, message, wparam, lparam);
  }
}

LRESULT ComboProc(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* c = ControlState<Combo>(w);
  if (c == nullptr && message != WM_NCCREATE) return DefWindowProcA(w, message, wparam, lparam);
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
      auto* state = new Combo((cs->style & CBS_SORT) != 0);
      state->drop_height = std::max(cs->cy, 20);
      SetWindowLongPtrA(w, 0, reinterpret_cast<LONG_PTR>(state));
      return DefWindowProcA(w, message, wparam, lparam);
    }
    case WM_CREATE:
      FitField(w, c);
      return 0;
    case WM_DESTROY:
      if (c->drop) DestroyWindow(std::exchange(c->drop, nullptr));
      return 0;
    case WM_NCDESTROY:
      delete c;
      SetWindowLongPtrA(w, 0, 0);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintField(w, c);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (c->drop ? DLGC_WANTALLKEYS : 0);
    case WM_SETFONT:
      c->font = reinterpret_cast<HFONT>(wparam);
      FitField(w, c);
      Redraw(w);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(c->font);
    case WM_SETFOCUS:
      c->focus = true;
      Redraw(w);
      NotifyParent(w, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      c->focus = false;
      Close(w, c, false);
      Redraw(w);
      NotifyParent(w, CBN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      if (!wparam) Close(w, c, false);
      Redraw(w);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetFocus(w);
      if (c->drop) {
        Close(w, c, false);
      } else {
        Open(w, c);
      }
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return Key(w, c, wparam);
    case WM_CHAR:
      return Char(w, c, wparam);
    case WM_GETTEXT:
      return GetText(*c, wparam, lparam);
    case WM_GETTEXTLENGTH:
      return c->model.Valid(c->selected)
                 ? static_cast<LRESULT>(c->model.at(c->selected).text.size())
                 : 0;
    case WM_SETTEXT:
      return CB_ERR;
    default:
      return ComboMessage(w, c, message, wparam, lparam);
  }
}

// ---- The open list -------------------------------------------------------------------------

HWND OwnerOf(HWND drop) { return reinterpret_cast<HWND>(GetWindowLongPtrA(drop, 0)); }

bool HasBar(const Combo& c) { return c.model.size() > DropRows(c); }

ScrollBar BarOf(HWND drop, const Combo& c) {
  RECT client;
  GetClientRect(drop, &client);
  return ScrollBar::For(client, c.top, DropRows(c), c.model.size());
}

int RowAt(HWND drop, const Combo& c, LPARAM lparam) {
  RECT client;
  GetClientRect(drop, &client);
  POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (!PtInRect(&client, p)) return -2;  // outside the list
  if (HasBar(c) && BarOf(drop, c).Hit(p) != ScrollBar::Part::kNone) return -3;
  int index = c.top + p.y / c.row_height;
  return c.model.Valid(index) ? index : -1;
}

// The open list's scroll bar: true when the mouse message was the bar's.
bool BarMouse(HWND drop, Combo* c, UINT message, LPARAM lparam) {
  POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  int rows = DropRows(*c), room = std::max(0, c->model.size() - rows);
  if (c->dragging) {
    if (message == WM_MOUSEMOVE) {
      c->top = BarOf(drop, *c).TopFor(p.y - c->drag_offset, rows, c->model.size());
    }
    if (message == WM_LBUTTONUP) c->dragging = false;
    Redraw(drop);
    return true;
  }
  if (message != WM_LBUTTONDOWN || RowAt(drop, *c, lparam) != -3) return false;
  ScrollBar b = BarOf(drop, *c);
  ScrollBar::Part part = b.Hit(p);
  int step = part == ScrollBar::Part::kUp       ? -1
             : part == ScrollBar::Part::kDown   ? 1
             : part == ScrollBar::Part::kPageUp ? -(rows - 1)
                                                : rows - 1;
  if (part == ScrollBar::Part::kThumb) {
    c->dragging = true;
    c->drag_offset = p.y - b.thumb.top;
  } else {
    c->top = std::clamp(c->top + step, 0, room);
  }
  Redraw(drop);
  return true;
}

LRESULT DropProc(HWND drop, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND owner = OwnerOf(drop);
  Combo* c = owner ? ControlState<Combo>(owner) : nullptr;
  if (c == nullptr || c->drop != drop) return DefWindowProcA(drop, message, wparam, lparam);
  switch (message) {
    case WM_NCPAINT:
      draw::Frame(drop);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(drop, &ps);
      if (dc) {
        RECT client;
        GetClientRect(drop, &client);
        draw::Fill(dc, client, draw::kField);
        SetTextColor(dc, draw::kText);
        ListView view{&c->model,   c->top,        c->hot,  c->hot,
                      false,       c->row_height, c->font, (Style(owner) & CBS_OWNERDRAWFIXED) != 0,
                      ODT_COMBOBOX};
        RECT rows = client;
        if (HasBar(*c)) rows.right -= kScrollBarWidth;
        PaintRows(owner, dc, rows, view);
        if (HasBar(*c)) BarOf(drop, *c).Paint(dc);
      }
      EndPaint(drop, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (BarMouse(drop, c, message, lparam)) return 0;
      int row = RowAt(drop, *c, lparam);
      if (row >= 0 && row != c->hot) {
        c->hot = row;
        Redraw(drop);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
      if (BarMouse(drop, c, message, lparam)) return 0;
      if (RowAt(drop, *c, lparam) == -2) Close(owner, c, false);
      return 0;
    case WM_LBUTTONUP: {
      if (BarMouse(drop, c, message, lparam)) return 0;
      int row = RowAt(drop, *c, lparam);
      if (row >= 0) {
        c->hot = row;
        Close(owner, c, true);
      }
      return 0;
    }
    case WM_MOUSEWHEEL: {
      int notches = static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(wparam))) / 120;
      c->top = std::clamp(c->top - notches, 0, std::max(0, c->model.size() - DropRows(*c)));
      Redraw(drop);
      return 0;
    }
    case WM_CAPTURECHANGED:
      // Another window took the mouse: the list closes as if the user clicked away.
      if (reinterpret_cast<HWND>(lparam) != drop) Close(owner, c, false);
      return 0;
    default:
      return DefWindowProcA(drop, message, wparam, lparam);
  }
}

}  // namespace

void RegisterComboBoxClass() {
  auto c = StandardControlClass("COMBOBOX", ComboProc);
  AddClass(c);
  auto drop = std::make_shared<WindowClass>();
  drop->name = kDropClass;
  drop->style = CS_DBLCLKS;
  drop->proc = DropProc;
  drop->cursor = LoadCursorA(nullptr, IDC_ARROW);
  drop->extra_bytes = sizeof(void*);
  AddClass(drop);
}

}  // namespace platform::ui
