#include "device/widgets/ys_list_ctrl.h"

#include <utility>

#include "device/widgets/mem_dc.h"
#include "device/widgets/widget_theme.h"
#include "platform/ui/commctrl.h"

namespace device::widgets {

CYSListCtrl::~CYSListCtrl() {
  UnsubclassWindow();
  DeleteObject(font_);
}

BOOL CYSListCtrl::Attach(HWND list) {
  if (!SubclassWindow(list)) return FALSE;
  SetWindowLongPtrA(list, GWL_STYLE, GetWindowLongPtrA(list, GWL_STYLE) | LVS_OWNERDRAWFIXED);
  SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  header_.SubclassWindow(reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)));
  SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(back_));
  return TRUE;
}

int CYSListCtrl::InsertColumn(int index, const std::string& title, int width, int align) {
  LVCOLUMNA c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  c.pszText = const_cast<char*>(title.c_str());
  c.cx = width;
  c.fmt = align & LVCFMT_JUSTIFYMASK;
  int at = static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&c)));
  if (at >= 0) align_.insert(align_.begin() + std::min<size_t>(at, align_.size()), c.fmt);
  return at;
}

int CYSListCtrl::InsertItem(int index, const std::string& text, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = const_cast<char*>(text.c_str());
  item.lParam = data;
  return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CYSListCtrl::SetItemText(int row, int column, const std::string& text) {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
}

std::string CYSListCtrl::GetItemText(int row, int column) const {
  char buffer[512] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessage(LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

LPARAM CYSListCtrl::GetItemData(int row) const {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

BOOL CYSListCtrl::SetItemData(int row, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = data;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CYSListCtrl::DeleteItem(int row) {
  return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, row));
}
BOOL CYSListCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
int CYSListCtrl::GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }

int CYSListCtrl::GetSelectedRow() const {
  return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CYSListCtrl::SetRowHeight(int height) {
  row_height_ = height;
  if (m_hWnd != nullptr) SetFont(font_ ? font_ : reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
}

void CYSListCtrl::SetBkColor(COLORREF color) {
  back_ = color;
  if (m_hWnd != nullptr) SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(color));
}

void CYSListCtrl::SetTextColor(COLORREF color) {
  text_ = color;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

void CYSListCtrl::SetFontHeight(int height) {
  DeleteObject(std::exchange(font_, CreateArialFont(height)));
  if (m_hWnd != nullptr) SetFont(font_);
}

bool CYSListCtrl::OnChildNotify(UINT message, WPARAM, LPARAM lparam, LRESULT* result) {
  if (message == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(row_height_);
    *result = TRUE;
    return true;
  }
  if (message == WM_DRAWITEM) {
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    *result = TRUE;
    return true;
  }
  return false;
}

void CYSListCtrl::DrawItem(const DRAWITEMSTRUCT& item) {
  int row = static_cast<int>(item.itemID);
  bool selected = (item.itemState & ODS_SELECTED) != 0;
  CMemDC mem(item.hDC, item.rcItem);
  RECT bounds = mem.Bounds();
  FillSolid(mem, bounds, selected ? selected_back_ : back_);
  HGDIOBJ old =
      SelectObject(mem, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(mem, TRANSPARENT);
  ::SetTextColor(mem, selected ? selected_text_ : text_);
  int left = 0;
  for (size_t c = 0; c < align_.size(); ++c) {
    int width = static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, c));
    RECT cell{left + 4, 0, left + width - 4, bounds.bottom};
    left += width;
    std::string text = GetItemText(row, static_cast<int>(c));
    UINT align = align_[c] == LVCFMT_CENTER  ? DT_CENTER
                 : align_[c] == LVCFMT_RIGHT ? DT_RIGHT
                                             : DT_LEFT;
    DrawTextA(mem, text.c_str(), -1, &cell,
              align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  SelectObject(mem, old);
}

}  // namespace device::widgets
