// The "LISTBOX" class: one selection, rows of text or owner-drawn rows, item data, keyboard
// and mouse wheel scrolling, type-ahead by first letter.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/ui/class_registry.h"
#include "platform/ui/controls_list.h"
#include "platform/ui/input.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

struct ListBox {
  explicit ListBox(bool sorted) : model(sorted) {}
  ListModel model;
  HFONT font = nullptr;
  int selected = -1;
  int caret = 0;
  int top = 0;
  int row_height = 15;
  bool focus = false;
  bool tracking = false;
  bool dragging_thumb = false;  // the scroll bar's thumb follows the mouse
  int drag_offset = 0;          // where in the thumb it was taken
};

DWORD Style(HWND w) { return static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)); }

int VisibleRows(HWND w, const ListBox& lb) {
  RECT client;
  GetClientRect(w, &client);
  return std::max(1, static_cast<int>(client.bottom) / lb.row_height);
}

// The scroll bar is shown with WS_VSCROLL when the rows do not all fit.
bool HasBar(HWND w, const ListBox& lb) {
  return (GetWindowLongA(w, GWL_STYLE) & WS_VSCROLL) && lb.model.size() > VisibleRows(w, lb);
}

ScrollBar BarOf(HWND w, const ListBox& lb) {
  RECT c;
  GetClientRect(w, &c);
  return ScrollBar::For(c, lb.top, VisibleRows(w, lb), lb.model.size());
}

void Redraw(HWND w) { InvalidateRect(w, nullptr, TRUE); }

void ScrollTo(HWND w, ListBox* lb, int index) {
  int rows = VisibleRows(w, *lb);
  if (index < lb->top) lb->top = index;
  if (index >= lb->top + rows) lb->top = index - rows + 1;
  lb->top = std::clamp(lb->top, 0, std::max(0, lb->model.size() - rows));
}

// Selects `index` as the user did: scrolls to it and tells the parent when it changed.
void Choose(HWND w, ListBox* lb, int index, bool notify) {
  if (!lb->model.Valid(index)) return;
  bool changed = lb->selected != index;
  lb->selected = lb->caret = index;
  ScrollTo(w, lb, index);
  Redraw(w);
  if (changed && notify && (Style(w) & LBS_NOTIFY)) NotifyParent(w, LBN_SELCHANGE);
}

int RowAt(const ListBox& lb, LPARAM lparam) {
  int y = GET_Y_LPARAM(lparam);
  if (y < 0) return -1;
  int index = lb.top + y / lb.row_height;
  return lb.model.Valid(index) ? index : -1;
}

void Paint(HWND w, ListBox* lb) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  if (dc != nullptr) {
    RECT client;
    GetClientRect(w, &client);
    HBRUSH brush = draw::ParentBrush(w, dc, WM_CTLCOLORLISTBOX);
    FillRect(dc, &client, brush);
    ListView view{&lb->model, lb->top,        lb->selected, lb->caret,
                  lb->focus,  lb->row_height, lb->font,     (Style(w) & LBS_OWNERDRAWFIXED) != 0,
                  ODT_LISTBOX};
    bool bar = HasBar(w, *lb);
    RECT rows = client;
    if (bar) rows.right -= kScrollBarWidth;
    PaintRows(w, dc, rows, view);
    if (bar) BarOf(w, *lb).Paint(dc);
  }
  EndPaint(w, &ps);
}

LRESULT Key(HWND w, ListBox* lb, WPARAM key) {
  int n = lb->model.size();
  if (n == 0) return 0;
  int rows = VisibleRows(w, *lb);
  int at = lb->selected < 0 ? 0 : lb->selected;
  switch (key) {
    case VK_UP:
      at -= lb->selected < 0 ? 0 : 1;
      break;
    case VK_DOWN:
      at += lb->selected < 0 ? 0 : 1;
      break;
    case VK_PRIOR:
      at -= rows - 1;
      break;
    case VK_NEXT:
      at += rows - 1;
      break;
    case VK_HOME:
      at = 0;
      break;
    case VK_END:
      at = n - 1;
      break;
    default:
      return 0;
  }
  Choose(w, lb, std::clamp(at, 0, n - 1), true);
  return 0;
}

LRESULT Char(HWND w, ListBox* lb, WPARAM ch) {
  if (ch < 0x20 || ch > 0x7E) return 0;
  char prefix[2] = {static_cast<char>(ch), '\0'};
  int found = lb->model.Find(lb->selected, prefix, false);
  if (found >= 0) Choose(w, lb, found, true);
  return 0;
}

void ScrollBy(HWND w, ListBox* lb, int rows) {
  int visible = VisibleRows(w, *lb);
  lb->top = std::clamp(lb->top + rows, 0, std::max(0, lb->model.size() - visible));
  Redraw(w);
}

// A press on the scroll bar: arrows move a row, the track a page, the thumb is taken.
void PressBar(HWND w, ListBox* lb, POINT p) {
  ScrollBar b = BarOf(w, *lb);
  int page = std::max(1, VisibleRows(w, *lb) - 1);
  switch (b.Hit(p)) {
    case ScrollBar::Part::kUp:
      return ScrollBy(w, lb, -1);
    case ScrollBar::Part::kDown:
      return ScrollBy(w, lb, 1);
    case ScrollBar::Part::kPageUp:
      return ScrollBy(w, lb, -page);
    case ScrollBar::Part::kPageDown:
      return ScrollBy(w, lb, page);
    case ScrollBar::Part::kThumb:
      lb->dragging_thumb = true;
      lb->drag_offset = p.y - b.thumb.top;
      SetCapture(w);
      return;
    case ScrollBar::Part::kNone:
      return;
  }
}

void DragThumb(HWND w, ListBox* lb, int y) {
  int top = BarOf(w, *lb).TopFor(y - lb->drag_offset, VisibleRows(w, *lb), lb->model.size());
  if (top != lb->top) {
    lb->top = top;
    Redraw(w);
  }
}

LRESULT Mouse(HWND w, ListBox* lb, UINT message, LPARAM lparam) {
  POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (message == WM_LBUTTONDOWN && HasBar(w, *lb)) {
    if (BarOf(w, *lb).Hit(p) != ScrollBar::Part::kNone) {
      SetFocus(w);
      PressBar(w, lb, p);
      return 0;
    }
  }
  if (lb->dragging_thumb) {
    if (message == WM_MOUSEMOVE) DragThumb(w, lb, p.y);
    if (message == WM_LBUTTONUP) {
      lb->dragging_thumb = false;
      ReleaseCapture();
    }
    return 0;
  }
  int row = RowAt(*lb, lparam);
  switch (message) {
    case WM_LBUTTONDOWN:
      SetFocus(w);
      SetCapture(w);
      lb->tracking = true;
      if (row >= 0) Choose(w, lb, row, false);
      return 0;
    case WM_MOUSEMOVE:
      if (lb->tracking && row >= 0) Choose(w, lb, row, false);
      return 0;
    case WM_LBUTTONUP:
      if (!lb->tracking) return 0;
      lb->tracking = false;
      ReleaseCapture();
      if (lb->selected >= 0 && (Style(w) & LBS_NOTIFY)) NotifyParent(w, LBN_SELCHANGE);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (row >= 0 && (Style(w) & LBS_NOTIFY)) NotifyParent(w, LBN_DBLCLK);
      return 0;
    default:
      return 0;
  }
}

LRESULT CopyText(const ListBox& lb, WPARAM index, LPARAM buffer) {
  int i = static_cast<int>(index);
  if (!lb.model.Valid(i)) return LB_ERR;
  const std::string& t = lb.model.at(i).text;
  if (buffer) std::memcpy(reinterpret_cast<char*>(buffer), t.c_str(), t.size() + 1);
  return static_cast<LRESULT>(t.size());
}

LRESULT ListMessage(HWND w, ListBox* lb, UINT message, WPARAM wparam, LPARAM lparam) {
  auto text = reinterpret_cast<const char*>(lparam);
  int index = static_cast<int>(wparam);
  switch (message) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      int at = message == LB_ADDSTRING ? lb->model.Add(text) : lb->model.Insert(index, text);
      if (at < 0) return LB_ERR;
      if (lb->selected >= at) ++lb->selected;
      Redraw(w);
      return at;
    }
    case LB_DELETESTRING:
      if (!lb->model.Delete(index)) return LB_ERR;
      if (lb->selected == index) lb->selected = -1;
      if (lb->selected > index) --lb->selected;
      lb->top = std::clamp(lb->top, 0, std::max(0, lb->model.size() - 1));
      Redraw(w);
      return lb->model.size();
    case LB_RESETCONTENT:
      lb->model.Clear();
      lb->selected = -1;
      lb->top = lb->caret = 0;
      Redraw(w);
      return 0;
    case LB_GETCOUNT:
      return lb->model.size();
    case LB_GETCURSEL:
      return lb->selected;
    case LB_SETCURSEL:
      if (index == -1 || !lb->model.Valid(index)) {
        lb->selected = -1;
        Redraw(w);
        return LB_ERR;
      }
      Choose(w, lb, index, false);
      return index;
    case LB_GETTEXT:
      return CopyText(*lb, wparam, lparam);
    case LB_GETTEXTLEN:
      return lb->model.Valid(index) ? static_cast<LRESULT>(lb->model.at(index).text.size())
                                    : LB_ERR;
    case LB_GETITEMDATA:
      return lb->model.Valid(index) ? static_cast<LRESULT>(lb->model.at(index).data) : LB_ERR;
    case LB_SETITEMDATA:
      if (!lb->model.Valid(index)) return LB_ERR;
      lb->model.at(index).data = static_cast<ULONG_PTR>(lparam);
      return LB_OKAY;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
      return lb->model.Find(index, text, message == LB_FINDSTRINGEXACT);
    case LB_GETTOPINDEX:
      return lb->top;
    case LB_SETTOPINDEX:
      if (!lb->model.Valid(index)) return LB_ERR;
      lb->top = index;
      Redraw(w);
      return LB_OKAY;
    case LB_GETITEMHEIGHT:
      return lb->row_height;
    case LB_SETITEMHEIGHT:
      if (lparam <= 0 || lparam > 255) return LB_ERR;
      lb->row_height = static_cast<int>(lparam);
      Redraw(w);
      return LB_OKAY;
    case LB_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (!lb->model.Valid(index) || r == nullptr) return LB_ERR;
      RECT client;
      GetClientRect(w, &client);
      int y = (index - lb->top) * lb->row_height;
      *r = RECT{0, y, client.right, y + lb->row_height};
      return LB_OKAY;
    }
    default:
      return DefWindowProcA(w, message, wparam, lparam);
  }
}

LRESULT ListBoxProc(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* lb = ControlState<ListBox>(w);
  if (lb == nullptr && message != WM_NCCREATE) return DefWindowProcA(w, message, wparam, lparam);
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
      auto* state = new ListBox((cs->style & LBS_SORT) != 0);
      state->row_height = RowHeight(nullptr);
      SetWindowLongPtrA(w, 0, reinterpret_cast<LONG_PTR>(state));
      return DefWindowProcA(w, message, wparam, lparam);
    }
    case WM_NCDESTROY:
      delete lb;
      SetWindowLongPtrA(w, 0, 0);
      return 0;
    case WM_NCPAINT:
      draw::Frame(w);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(w, lb);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFONT:
      lb->font = reinterpret_cast<HFONT>(wparam);
      if (!(Style(w) & LBS_OWNERDRAWFIXED)) lb->row_height = RowHeight(lb->font);
      Redraw(w);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(lb->font);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      lb->focus = message == WM_SETFOCUS;
      Redraw(w);
      if (Style(w) & LBS_NOTIFY) NotifyParent(w, lb->focus ? LBN_SETFOCUS : LBN_KILLFOCUS);
      return 0;
    case WM_CAPTURECHANGED:
      lb->tracking = false;
      lb->dragging_thumb = false;
      return 0;
    case WM_KEYDOWN:
      return Key(w, lb, wparam);
    case WM_CHAR:
      return Char(w, lb, wparam);
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      return Mouse(w, lb, message, lparam);
    case WM_MOUSEWHEEL: {
      int notches = static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(wparam))) / 120;
      int rows = VisibleRows(w, *lb);
      lb->top = std::clamp(lb->top - 3 * notches, 0, std::max(0, lb->model.size() - rows));
      Redraw(w);
      return 0;
    }
    default:
      return ListMessage(w, lb, message, wparam, lparam);
  }
}

}  // namespace

void RegisterListBoxClass() {
  auto c = StandardControlClass("LISTBOX", ListBoxProc);
  AddClass(c);
}

}  // namespace platform::ui
