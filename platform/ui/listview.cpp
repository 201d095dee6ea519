// List view in report mode: painting, layout, mouse and keyboard, and what its header tells.
#include <algorithm>

#include "platform/ui/listview_internal.h"

namespace platform::ui::commctrl {

namespace {

constexpr COLORREF kGrid = RGB(200, 200, 200);
constexpr COLORREF kSelectedBack = RGB(51, 102, 153);
constexpr COLORREF kSelectedText = RGB(255, 255, 255);
constexpr int kWheelRows = 3;
constexpr int kColumnStep = 20;  // pixels a Left or Right key scrolls the columns

bool OwnerDrawn(HWND window) {
  return (GetWindowLongPtrA(window, GWL_STYLE) & LVS_OWNERDRAWFIXED) != 0;
}

int FontHeight(HWND window, HFONT font) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, FontOr(font));
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return tm.tmHeight;
}

UINT AlignOf(int fmt) {
  switch (fmt & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_CENTER:
      return DT_CENTER;
    case LVCFMT_RIGHT:
      return DT_RIGHT;
    default:
      return DT_LEFT;
  }
}

void DrawRowDefault(HDC dc, const ListView& lv, const ListRow& row, const RECT& r) {
  bool selected = (row.state & LVIS_SELECTED) != 0;
  bool full = (lv.ex_style & LVS_EX_FULLROWSELECT) != 0;
  int left = r.left;
  for (size_t c = 0; c < lv.columns.size(); ++c) {
    RECT cell{left, r.top, left + lv.columns[c].width, r.bottom};
    left = cell.right;
    bool lit = selected && (full || c == 0);
    FillColor(dc, cell, lit ? kSelectedBack : lv.text_back);
    if (c >= row.texts.size() || row.texts[c].empty()) continue;
    SetTextColor(dc, lit ? kSelectedText : lv.text);
    RECT text = cell;
    InflateRect(&text, -4, 0);
    DrawTextA(
        dc, row.texts[c].c_str(), -1, &text,
        AlignOf(lv.columns[c].fmt) | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
}

void DrawRowByOwner(HWND window, HDC dc, const ListView& lv, int index, const RECT& r) {
  const ListRow& row = lv.rows[index];
  DRAWITEMSTRUCT di{};
  di.CtlType = ODT_LISTVIEW;
  di.CtlID = static_cast<UINT>(GetDlgCtrlID(window));
  di.itemID = static_cast<UINT>(index);
  di.itemAction = ODA_DRAWENTIRE;
  di.itemState = ((row.state & LVIS_SELECTED) ? ODS_SELECTED : 0) |
                 ((row.state & LVIS_FOCUSED) && GetFocus() == window ? ODS_FOCUS : 0) |
                 (IsWindowEnabled(window) ? 0 : ODS_DISABLED);
  di.hwndItem = window;
  di.hDC = dc;
  di.rcItem = r;
  di.itemData = static_cast<ULONG_PTR>(row.data);
  SendMessageA(GetParent(window), WM_DRAWITEM, di.CtlID, reinterpret_cast<LPARAM>(&di));
}

void DrawGrid(HDC dc, const ListView& lv, const RECT& client) {
  int right = std::min<int>(TotalColumnWidth(lv) - lv.left, client.right);
  for (int y = lv.header_height + lv.row_height - 1; y < client.bottom; y += lv.row_height) {
    HLine(dc, 0, right, y, kGrid);
  }
  int x = -lv.left;
  for (const ListColumn& c : lv.columns) {
    x += c.width;
    VLine(dc, x - 1, lv.header_height, client.bottom, kGrid);
  }
}

void Paint(HWND window) {
  OffscreenPaint paint(window);
  ListView* lv = ListStates().Get(window);
  if (lv == nullptr) return;
  HDC dc = paint.dc();
  const RECT& client = paint.client();
  FillColor(dc, client, lv->back);
  HGDIOBJ old_font = SelectObject(dc, FontOr(lv->font));
  SetBkMode(dc, TRANSPARENT);
  bool owner = OwnerDrawn(window);
  int shown = RowsPerPage(window, *lv) + 1;
  int end = std::min(static_cast<int>(lv->rows.size()), lv->top + shown);
  for (int i = lv->top; i < end; ++i) {
    RECT r = RowRect(window, *lv, i);
    // Rows outside what needs painting would not reach the window: one changed cell repaints
    // its row, not the list.
    if (r.bottom <= paint.update().top || r.top >= paint.update().bottom) continue;
    if (owner) {
      DrawRowByOwner(window, dc, *lv, i, r);
      if ((lv = ListStates().Get(window)) == nullptr) return;
      end = std::min(static_cast<int>(lv->rows.size()), end);
    } else {
      DrawRowDefault(dc, *lv, lv->rows[i], r);
    }
  }
  if (lv->ex_style & LVS_EX_GRIDLINES) DrawGrid(dc, *lv, client);
  PaintScrollBars(window, dc, *lv);
  SelectObject(dc, old_font);
}

// Makes `index` the focused row and, unless `toggle`, the only selected one.
void Select(HWND window, int index, bool toggle) {
  ListView* lv = ListStates().Get(window);
  if (lv == nullptr) return;
  bool single = (GetWindowLongPtrA(window, GWL_STYLE) & LVS_SINGLESEL) != 0;
  if (toggle && !single && index >= 0) {
    UINT state = lv->rows[index].state & LVIS_SELECTED;
    SetRowState(window, index, (state ^ LVIS_SELECTED) | LVIS_FOCUSED,
                LVIS_SELECTED | LVIS_FOCUSED);
    return;
  }
  int count = static_cast<int>(lv->rows.size());
  for (int i = 0; i < count; ++i) {
    if (i == index) continue;
    if ((lv = ListStates().Get(window)) == nullptr || i >= static_cast<int>(lv->rows.size())) {
      return;
    }
    if (lv->rows[i].state & (LVIS_SELECTED | LVIS_FOCUSED)) {
      SetRowState(window, i, 0, LVIS_SELECTED | LVIS_FOCUSED);
    }
  }
  if (index >= 0) {
    SetRowState(window, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
}

LRESULT NotifyActivate(HWND window, UINT code, const LVHITTESTINFO& hit, WPARAM keys) {
  NMITEMACTIVATE nm{};
  nm.iItem = hit.iItem;
  nm.iSubItem = hit.iSubItem;
  nm.ptAction = hit.pt;
  ListView* lv = ListStates().Get(window);
  if (lv != nullptr && hit.iItem >= 0 && hit.iItem < static_cast<int>(lv->rows.size())) {
    nm.lParam = lv->rows[hit.iItem].data;
  }
  nm.uKeyFlags = static_cast<UINT>(keys);
  return Notify(window, code, &nm.hdr);
}

LVHITTESTINFO HitAt(HWND window, LPARAM lparam) {
  LVHITTESTINFO hit{};
  hit.pt = POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  SendMessageA(window, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  LVHITTESTINFO sub = hit;
  SendMessageA(window, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&sub));
  hit.iSubItem = hit.iItem >= 0 ? sub.iSubItem : 0;
  return hit;
}

void OnButton(HWND window, UINT message, WPARAM keys, LPARAM lparam) {
  if (GetFocus() != window) SetFocus(window);
  LVHITTESTINFO hit = HitAt(window, lparam);
  Select(window, hit.iItem, (keys & MK_CONTROL) != 0);
  switch (message) {
    case WM_LBUTTONDOWN:
      NotifyActivate(window, NM_CLICK, hit, keys);
      break;
    case WM_LBUTTONDBLCLK:
      NotifyActivate(window, NM_DBLCLK, hit, keys);
      if (hit.iItem >= 0) NotifyActivate(window, LVN_ITEMACTIVATE, hit, keys);
      break;
    default:
      NotifyActivate(window, NM_RCLICK, hit, keys);
      break;
  }
}

void OnKey(HWND window, ListView* lv, UINT key) {
  NMLVKEYDOWN nm{};
  nm.wVKey = static_cast<WORD>(key);
  Notify(window, LVN_KEYDOWN, &nm.hdr);
  if ((lv = ListStates().Get(window)) == nullptr || lv->rows.empty()) return;
  int count = static_cast<int>(lv->rows.size());
  int page = RowsPerPage(window, *lv);
  int at = lv->focus;
  switch (key) {
    case VK_UP:
      at = at < 0 ? 0 : at - 1;
      break;
    case VK_DOWN:
      at = at + 1;
      break;
    case VK_PRIOR:
      at = at - page;
      break;
    case VK_NEXT:
      at = at < 0 ? page - 1 : at + page;
      break;
    case VK_HOME:
      at = 0;
      break;
    case VK_END:
      at = count - 1;
      break;
    case VK_LEFT:
    case VK_RIGHT:
      ScrollColumns(window, lv, key == VK_LEFT ? -kColumnStep : kColumnStep);
      return;
    case VK_RETURN: {
      NMHDR hdr{};
      Notify(window, NM_RETURN, &hdr);
      return;
    }
    default:
      return;
  }
  at = std::clamp(at, 0, count - 1);
  Select(window, at, false);
  if ((lv = ListStates().Get(window)) != nullptr) EnsureVisible(window, lv, at);
}

// The header's notifications: its parent sees them first, as from a dialog's own header.
LRESULT OnHeaderNotify(HWND window, ListView* lv, NMHDR* hdr, WPARAM wparam, LPARAM lparam) {
  if (hdr == nullptr || hdr->hwndFrom != lv->header) return 0;
  LRESULT answer = SendMessageA(GetParent(window), WM_NOTIFY, wparam, lparam);
  if ((lv = ListStates().Get(window)) == nullptr) return answer;
  auto* nm = reinterpret_cast<NMHEADERA*>(hdr);
  int count = static_cast<int>(lv->columns.size());
  if (hdr->code == HDN_ITEMCHANGEDA && nm->iItem >= 0 && nm->iItem < count) {
    HDITEMA h{};
    h.mask = HDI_WIDTH;
    SendMessageA(lv->header, HDM_GETITEMA, nm->iItem, reinterpret_cast<LPARAM>(&h));
    if ((lv = ListStates().Get(window)) == nullptr) return answer;
    lv->columns[nm->iItem].width = h.cxy;
    InvalidateRect(window, nullptr, FALSE);
  } else if (hdr->code == HDN_ITEMCLICKA &&
             !(GetWindowLongPtrA(window, GWL_STYLE) & LVS_NOSORTHEADER)) {
    NMLISTVIEW click{};
    click.iItem = -1;
    click.iSubItem = nm->iItem;
    Notify(window, LVN_COLUMNCLICK, &click.hdr);
  }
  return answer;
}

LRESULT OnCreate(HWND window) {
  SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_CLIPCHILDREN);
  DWORD style = WS_CHILD | HDS_HORZ | HDS_FULLDRAG;
  DWORD own = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
  if (!(own & LVS_NOCOLUMNHEADER)) style |= WS_VISIBLE;
  if (!(own & LVS_NOSORTHEADER)) style |= HDS_BUTTONS;
  HWND header =
      CreateWindowExA(0, WC_HEADERA, "", style, 0, 0, 0, 0, window, nullptr, nullptr, nullptr);
  ListView* lv = ListStates().Get(window);
  if (header == nullptr || lv == nullptr) return -1;
  lv->header = header;
  Relayout(window);
  return 0;
}

LRESULT Dispatch(HWND window, ListView* lv, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_NCDESTROY:
      ListStates().Erase(window);
      return 0;
    case WM_SIZE:
      Relayout(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_SETFONT:
      lv->font = reinterpret_cast<HFONT>(wparam);
      SendMessageA(lv->header, WM_SETFONT, wparam, lparam);
      Relayout(window);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(lv->font);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      NMHDR hdr{};
      InvalidateRect(window, nullptr, FALSE);
      Notify(window, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS, &hdr);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (ScrollBarPress(window, lv, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam))) return 0;
      OnButton(window, message, wparam, lparam);
      return 0;
    case WM_RBUTTONDOWN:
      OnButton(window, message, wparam, lparam);
      return 0;
    case WM_MOUSEMOVE:
      if (lv->scroll_drag) ScrollBarDrag(window, lv, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (lv->scroll_drag) ScrollBarRelease(window, lv);
      return 0;
    case WM_KEYDOWN:
      OnKey(window, lv, static_cast<UINT>(wparam));
      return 0;
    case WM_MOUSEWHEEL:
      Scroll(window, lv, static_cast<SHORT>(HIWORD(wparam)) > 0 ? -kWheelRows : kWheelRows);
      return 0;
    case WM_NOTIFY:
      return OnHeaderNotify(window, lv, reinterpret_cast<NMHDR*>(lparam), wparam, lparam);
    case LVM_GETHEADER:
      return reinterpret_cast<LRESULT>(lv->header);
    case LVM_SETBKCOLOR:
      lv->back = static_cast<COLORREF>(lparam);
      InvalidateRect(window, nullptr, FALSE);
      return TRUE;
    case LVM_GETBKCOLOR:
      return lv->back;
    case LVM_SETTEXTCOLOR:
      lv->text = static_cast<COLORREF>(lparam);
      InvalidateRect(window, nullptr, FALSE);
      return TRUE;
    case LVM_GETTEXTCOLOR:
      return lv->text;
    case LVM_SETTEXTBKCOLOR:
      lv->text_back = static_cast<COLORREF>(lparam);
      InvalidateRect(window, nullptr, FALSE);
      return TRUE;
    case LVM_GETTEXTBKCOLOR:
      return lv->text_back;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD mask = wparam ? static_cast<DWORD>(wparam) : 0xFFFFFFFF;
      DWORD old = lv->ex_style;
      lv->ex_style = (old & ~mask) | (static_cast<DWORD>(lparam) & mask);
      InvalidateRect(window, nullptr, FALSE);
      return old;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return lv->ex_style;
    case LVM_GETTOPINDEX:
      return lv->top;
    case LVM_GETCOUNTPERPAGE:
      return RowsPerPage(window, *lv);
    default:
      if (message >= LVM_FIRST && message <= LVM_SUBITEMHITTEST) {
        return ListItemMessage(window, lv, message, wparam, lparam);
      }
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

LRESULT ListViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) ListStates().Create(window);
  ListView* lv = ListStates().Get(window);
  if (lv == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return Dispatch(window, lv, message, wparam, lparam);
}

}  // namespace

void Scroll(HWND window, ListView* lv, int rows) {
  int last_top = std::max(0, static_cast<int>(lv->rows.size()) - RowsPerPage(window, *lv));
  int top = std::clamp(lv->top + rows, 0, last_top);
  if (top == lv->top) return;
  lv->top = top;
  InvalidateRect(window, nullptr, FALSE);
}

StateMap<ListView>& ListStates() {
  static auto* states = new StateMap<ListView>;
  return *states;
}

bool SetRowState(HWND window, int index, UINT state, UINT mask) {
  ListView* lv = ListStates().Get(window);
  if (lv == nullptr || index < 0 || index >= static_cast<int>(lv->rows.size())) return false;
  UINT old = lv->rows[index].state;
  UINT now = (old & ~mask) | (state & mask);
  if (now == old) return true;
  NMLISTVIEW nm{};
  nm.iItem = index;
  nm.uNewState = now;
  nm.uOldState = old;
  nm.uChanged = LVIF_STATE;
  nm.lParam = lv->rows[index].data;
  if (Notify(window, LVN_ITEMCHANGING, &nm.hdr)) return false;
  lv = ListStates().Get(window);
  if (lv == nullptr || index >= static_cast<int>(lv->rows.size())) return false;
  lv->rows[index].state = now;
  if (now & LVIS_FOCUSED) {
    if (lv->focus >= 0 && lv->focus != index && lv->focus < static_cast<int>(lv->rows.size())) {
      lv->rows[lv->focus].state &= ~LVIS_FOCUSED;
    }
    lv->focus = index;
  } else if (lv->focus == index) {
    lv->focus = -1;
  }
  InvalidateRect(window, nullptr, FALSE);
  Notify(window, LVN_ITEMCHANGED, &nm.hdr);
  return true;
}

int RowsPerPage(HWND window, const ListView& lv) {
  return std::max(1, ViewHeight(window, lv) / std::max(lv.row_height, 1));
}

void ScrollColumns(HWND window, ListView* lv, int dx) {
  int most = std::max(0, TotalColumnWidth(*lv) - ViewWidth(window, *lv));
  int left = std::clamp(lv->left + dx, 0, most);
  if (left == lv->left) return;
  lv->left = left;
  Relayout(window);
}

void EnsureVisible(HWND window, ListView* lv, int index) {
  int page = RowsPerPage(window, *lv);
  if (index < lv->top) {
    lv->top = index;
  } else if (index >= lv->top + page) {
    lv->top = index - page + 1;
  } else {
    return;
  }
  InvalidateRect(window, nullptr, FALSE);
}

RECT RowRect(HWND window, const ListView& lv, int index) {
  RECT client;
  GetClientRect(window, &client);
  int top = lv.header_height + (index - lv.top) * lv.row_height;
  int right = std::max<int>(TotalColumnWidth(lv), 0) - lv.left;
  return RECT{-lv.left, top, right, top + lv.row_height};
}

int TotalColumnWidth(const ListView& lv) {
  int total = 0;
  for (const ListColumn& c : lv.columns) total += c.width;
  return total;
}

void Relayout(HWND window) {
  ListView* lv = ListStates().Get(window);
  if (lv == nullptr) return;
  int height = FontHeight(window, lv->font) + 4;
  if (OwnerDrawn(window)) {
    MEASUREITEMSTRUCT mi{};
    mi.CtlType = ODT_LISTVIEW;
    mi.CtlID = static_cast<UINT>(GetDlgCtrlID(window));
    mi.itemHeight = static_cast<UINT>(height);
    SendMessageA(GetParent(window), WM_MEASUREITEM, mi.CtlID, reinterpret_cast<LPARAM>(&mi));
    height = static_cast<int>(mi.itemHeight);
  }
  if ((lv = ListStates().Get(window)) == nullptr) return;
  lv->row_height = std::clamp(height, 1, 1000);
  RECT client;
  GetClientRect(window, &client);
  WINDOWPOS pos{};
  HDLAYOUT layout{&client, &pos};
  HWND header = lv->header;
  if (header != nullptr && SendMessageA(header, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout))) {
    // The header scrolls with the columns: it starts left of the view by what is scrolled.
    int width = std::max(pos.cx + lv->left, TotalColumnWidth(*lv));
    SetWindowPos(header, nullptr, pos.x - lv->left, pos.y, width, pos.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if ((lv = ListStates().Get(window)) == nullptr) return;
    lv->header_height = pos.cy;
  }
  InvalidateRect(window, nullptr, FALSE);
}

void RegisterListViewClass() { RegisterControlClass(WC_LISTVIEWA, ListViewProc, CS_DBLCLKS); }

}  // namespace platform::ui::commctrl
