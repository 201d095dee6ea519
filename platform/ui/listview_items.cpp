// List view: the item and column messages.
#include <algorithm>
#include <cstring>

#include "platform/ui/listview_internal.h"

namespace platform::ui::commctrl {
namespace {

int CopyText(const std::string& text, LPSTR out, int size) {
  if (out == nullptr || size <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

bool ValidRow(const ListView& lv, int index) {
  return index >= 0 && index < static_cast<int>(lv.rows.size());
}

void SetText(ListRow* row, int column, LPCSTR text) {
  if (column < 0) return;
  if (static_cast<int>(row->texts.size()) <= column) row->texts.resize(column + 1);
  row->texts[column] = text != nullptr ? text : "";
}

void Redraw(HWND window) { InvalidateRect(window, nullptr, FALSE); }

LRESULT NotifyRow(HWND window, UINT code, int index, LPARAM data) {
  NMLISTVIEW nm{};
  nm.iItem = index;
  nm.lParam = data;
  return Notify(window, code, &nm.hdr);
}

LRESULT InsertItem(HWND window, ListView* lv, const LVITEMA* item) {
  if (item == nullptr || item->iSubItem != 0) return -1;
  int index = std::clamp(item->iItem, 0, static_cast<int>(lv->rows.size()));
  ListRow row;
  if (item->mask & LVIF_TEXT) SetText(&row, 0, item->pszText);
  if (item->mask & LVIF_PARAM) row.data = item->lParam;
  if (item->mask & LVIF_STATE) row.state = item->state & item->stateMask;
  LPARAM data = row.data;
  lv->rows.insert(lv->rows.begin() + index, std::move(row));
  if (lv->focus >= index) ++lv->focus;
  Redraw(window);
  NotifyRow(window, LVN_INSERTITEM, index, data);
  return index;
}

LRESULT DeleteItem(HWND window, ListView* lv, int index) {
  if (!ValidRow(*lv, index)) return FALSE;
  NotifyRow(window, LVN_DELETEITEM, index, lv->rows[index].data);
  if ((lv = ListStates().Get(window)) == nullptr || !ValidRow(*lv, index)) return FALSE;
  lv->rows.erase(lv->rows.begin() + index);
  if (lv->focus == index) lv->focus = -1;
  if (lv->focus > index) --lv->focus;
  int last_top = std::max(0, static_cast<int>(lv->rows.size()) - RowsPerPage(window, *lv));
  lv->top = std::min(lv->top, last_top);
  Redraw(window);
  return TRUE;
}

LRESULT DeleteAll(HWND window, ListView* lv) {
  NotifyRow(window, LVN_DELETEALLITEMS, -1, 0);
  if ((lv = ListStates().Get(window)) == nullptr) return FALSE;
  lv->rows.clear();
  lv->focus = -1;
  lv->top = 0;
  Redraw(window);
  return TRUE;
}

LRESULT GetItem(const ListView& lv, LVITEMA* item) {
  if (item == nullptr || !ValidRow(lv, item->iItem)) return FALSE;
  const ListRow& row = lv.rows[item->iItem];
  if (item->mask & LVIF_TEXT) {
    static const std::string kEmpty;
    int column = item->iSubItem;
    const std::string& text =
        column >= 0 && column < static_cast<int>(row.texts.size()) ? row.texts[column] : kEmpty;
    CopyText(text, item->pszText, item->cchTextMax);
  }
  if (item->mask & LVIF_PARAM) item->lParam = row.data;
  if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
  return TRUE;
}

LRESULT SetItem(HWND window, ListView* lv, const LVITEMA* item) {
  if (item == nullptr || !ValidRow(*lv, item->iItem)) return FALSE;
  ListRow& row = lv->rows[item->iItem];
  if (item->mask & LVIF_TEXT) SetText(&row, item->iSubItem, item->pszText);
  if ((item->mask & LVIF_PARAM) && item->iSubItem == 0) row.data = item->lParam;
  Redraw(window);
  if (item->mask & LVIF_STATE)
    return SetRowState(window, item->iItem, item->state, item->stateMask);
  return TRUE;
}

LRESULT SetItemState(HWND window, ListView* lv, int index, const LVITEMA* item) {
  if (item == nullptr) return FALSE;
  if (index != -1) return SetRowState(window, index, item->state, item->stateMask);
  int count = static_cast<int>(lv->rows.size());
  for (int i = 0; i < count; ++i) SetRowState(window, i, item->state, item->stateMask);
  return TRUE;
}

LRESULT NextItem(const ListView& lv, int start, UINT flags) {
  int count = static_cast<int>(lv.rows.size());
  for (int i = std::max(start + 1, 0); i < count; ++i) {
    UINT want = flags & (LVNI_SELECTED | LVNI_FOCUSED);
    if ((lv.rows[i].state & want) == want) return i;
  }
  return -1;
}

LRESULT FindItem(const ListView& lv, int start, const LVFINDINFOA* find) {
  if (find == nullptr) return -1;
  int count = static_cast<int>(lv.rows.size());
  for (int i = std::max(start + 1, 0); i < count; ++i) {
    const ListRow& row = lv.rows[i];
    if ((find->flags & LVFI_PARAM) && row.data == find->lParam) return i;
    if ((find->flags & LVFI_STRING) && find->psz != nullptr && !row.texts.empty() &&
        strcasecmp(row.texts[0].c_str(), find->psz) == 0) {
      return i;
    }
  }
  return -1;
}

HDITEMA HeaderItemOf(const ListColumn& column) {
  HDITEMA h{};
  h.mask = HDI_WIDTH | HDI_FORMAT | HDI_TEXT;
  h.cxy = column.width;
  h.fmt = (column.fmt & LVCFMT_JUSTIFYMASK) | HDF_STRING;
  h.pszText = const_cast<LPSTR>(column.text.c_str());
  return h;
}

LRESULT InsertColumn(HWND window, ListView* lv, int index, const LVCOLUMNA* in) {
  if (in == nullptr) return -1;
  index = std::clamp(index, 0, static_cast<int>(lv->columns.size()));
  ListColumn column;
  if (in->mask & LVCF_TEXT) column.text = in->pszText != nullptr ? in->pszText : "";
  if (in->mask & LVCF_WIDTH) column.width = std::max(in->cx, 0);
  if (in->mask & LVCF_FMT) column.fmt = in->fmt & LVCFMT_JUSTIFYMASK;
  lv->columns.insert(lv->columns.begin() + index, column);
  for (ListRow& row : lv->rows) {
    if (index < static_cast<int>(row.texts.size())) row.texts.insert(row.texts.begin() + index, "");
  }
  HDITEMA h = HeaderItemOf(lv->columns[index]);
  SendMessageA(lv->header, HDM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&h));
  Redraw(window);
  return index;
}

LRESULT SetColumn(HWND window, ListView* lv, int index, const LVCOLUMNA* in) {
  if (in == nullptr || index < 0 || index >= static_cast<int>(lv->columns.size())) return FALSE;
  ListColumn& column = lv->columns[index];
  if (in->mask & LVCF_TEXT) column.text = in->pszText != nullptr ? in->pszText : "";
  if (in->mask & LVCF_WIDTH) column.width = std::max(in->cx, 0);
  if (in->mask & LVCF_FMT) column.fmt = in->fmt & LVCFMT_JUSTIFYMASK;
  HDITEMA h = HeaderItemOf(column);
  HWND header = lv->header;
  Redraw(window);
  SendMessageA(header, HDM_SETITEMA, index, reinterpret_cast<LPARAM>(&h));
  return TRUE;
}

LRESULT GetColumn(const ListView& lv, int index, LVCOLUMNA* out) {
  if (out == nullptr || index < 0 || index >= static_cast<int>(lv.columns.size())) return FALSE;
  const ListColumn& column = lv.columns[index];
  if (out->mask & LVCF_TEXT) CopyText(column.text, out->pszText, out->cchTextMax);
  if (out->mask & LVCF_WIDTH) out->cx = column.width;
  if (out->mask & LVCF_FMT) out->fmt = column.fmt;
  if (out->mask & LVCF_SUBITEM) out->iSubItem = index;
  return TRUE;
}

LRESULT DeleteColumn(HWND window, ListView* lv, int index) {
  if (index < 0 || index >= static_cast<int>(lv->columns.size())) return FALSE;
  lv->columns.erase(lv->columns.begin() + index);
  for (ListRow& row : lv->rows) {
    if (index < static_cast<int>(row.texts.size())) row.texts.erase(row.texts.begin() + index);
  }
  SendMessageA(lv->header, HDM_DELETEITEM, index, 0);
  Redraw(window);
  return TRUE;
}

LRESULT HitTestMessage(HWND window, const ListView& lv, LVHITTESTINFO* info, bool subitem) {
  if (info == nullptr) return -1;
  info->flags = LVHT_NOWHERE;
  info->iItem = -1;
  info->iSubItem = 0;
  int y = info->pt.y - lv.header_height;
  int x = info->pt.x + lv.left;
  if (y < 0 || y >= ViewHeight(window, lv) || info->pt.x < 0 ||
      info->pt.x >= ViewWidth(window, lv) || x >= TotalColumnWidth(lv)) {
    return -1;
  }
  int index = lv.top + y / std::max(lv.row_height, 1);
  if (!ValidRow(lv, index)) return -1;
  int left = 0;
  for (size_t c = 0; c < lv.columns.size(); ++c) {
    if (x < left + lv.columns[c].width) {
      info->iSubItem = static_cast<int>(c);
      break;
    }
    left += lv.columns[c].width;
  }
  if (!subitem && info->iSubItem != 0 && !(lv.ex_style & LVS_EX_FULLROWSELECT)) return -1;
  info->flags = LVHT_ONITEMLABEL;
  info->iItem = index;
  return index;
}

}  // namespace

LRESULT ListItemMessage(HWND window, ListView* lv, UINT message, WPARAM wparam, LPARAM lparam) {
  int index = static_cast<int>(static_cast<intptr_t>(wparam));
  auto* item = reinterpret_cast<LVITEMA*>(lparam);
  auto* column = reinterpret_cast<LVCOLUMNA*>(lparam);
  switch (message) {
    case LVM_GETITEMCOUNT:
      return static_cast<LRESULT>(lv->rows.size());
    case LVM_INSERTITEMA:
      return InsertItem(window, lv, item);
    case LVM_DELETEITEM:
      return DeleteItem(window, lv, index);
    case LVM_DELETEALLITEMS:
      return DeleteAll(window, lv);
    case LVM_GETITEMA:
      return GetItem(*lv, item);
    case LVM_SETITEMA:
      return SetItem(window, lv, item);
    case LVM_GETITEMTEXTA: {
      if (item == nullptr || !ValidRow(*lv, index)) return 0;
      LVITEMA get = *item;
      get.iItem = index;
      get.mask = LVIF_TEXT;
      GetItem(*lv, &get);
      return static_cast<LRESULT>(item->pszText != nullptr ? std::strlen(item->pszText) : 0);
    }
    case LVM_SETITEMTEXTA: {
      if (item == nullptr || !ValidRow(*lv, index)) return FALSE;
      SetText(&lv->rows[index], item->iSubItem, item->pszText);
      const RECT row = RowRect(window, *lv, index);
      InvalidateRect(window, &row, FALSE);
      return TRUE;
    }
    case LVM_SETITEMSTATE:
      return SetItemState(window, lv, index, item);
    case LVM_GETITEMSTATE:
      return ValidRow(*lv, index) ? lv->rows[index].state & static_cast<UINT>(lparam) : 0;
    case LVM_GETNEXTITEM:
      return NextItem(*lv, index, static_cast<UINT>(lparam));
    case LVM_FINDITEMA:
      return FindItem(*lv, index, reinterpret_cast<const LVFINDINFOA*>(lparam));
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(lv->rows.begin(), lv->rows.end(),
                           [](const ListRow& r) { return (r.state & LVIS_SELECTED) != 0; });
    case LVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (r == nullptr || !ValidRow(*lv, index)) return FALSE;
      *r = RowRect(window, *lv, index);
      return TRUE;
    }
    case LVM_HITTEST:
      return HitTestMessage(window, *lv, reinterpret_cast<LVHITTESTINFO*>(lparam), false);
    case LVM_SUBITEMHITTEST:
      return HitTestMessage(window, *lv, reinterpret_cast<LVHITTESTINFO*>(lparam), true);
    case LVM_ENSUREVISIBLE:
      if (!ValidRow(*lv, index)) return FALSE;
      EnsureVisible(window, lv, index);
      return TRUE;
    case LVM_INSERTCOLUMNA:
      return InsertColumn(window, lv, index, column);
    case LVM_SETCOLUMNA:
      return SetColumn(window, lv, index, column);
    case LVM_GETCOLUMNA:
      return GetColumn(*lv, index, column);
    case LVM_DELETECOLUMN:
      return DeleteColumn(window, lv, index);
    case LVM_GETCOLUMNWIDTH:
      return index >= 0 && index < static_cast<int>(lv->columns.size()) ? lv->columns[index].width
                                                                        : 0;
    case LVM_SETCOLUMNWIDTH: {
      LVCOLUMNA c{};
      c.mask = LVCF_WIDTH;
      c.cx = static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lparam)));
      return SetColumn(window, lv, index, &c);
    }
    default:
      return 0;
  }
}

}  // namespace platform::ui::commctrl
