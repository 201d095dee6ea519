#include "platform/ui/controls_list.h"

#include <strings.h>

#include <cstring>

#include "platform/ui/message.h"
#include "platform/ui/window.h"

namespace platform::ui {

int ListModel::Add(const char* text) {
  if (!sorted_) return Insert(-1, text);
  int at = 0;
  while (at < size() && strcasecmp(items_[static_cast<size_t>(at)].text.c_str(), text) <= 0) {
    ++at;
  }
  return Insert(at, text);
}

int ListModel::Insert(int index, const char* text) {
  if (index == -1) index = size();
  if (index < 0 || index > size()) return -1;
  items_.insert(items_.begin() + index, ListItem{text ? text : "", 0});
  return index;
}

bool ListModel::Delete(int index) {
  if (!Valid(index)) return false;
  items_.erase(items_.begin() + index);
  return true;
}

void ListModel::Clear() { items_.clear(); }

int ListModel::Find(int start, const char* text, bool exact) const {
  if (text == nullptr || items_.empty()) return -1;
  size_t length = std::strlen(text);
  int first = Valid(start) ? start + 1 : 0;
  for (int n = 0; n < size(); ++n) {
    int i = (first + n) % size();
    const std::string& t = items_[static_cast<size_t>(i)].text;
    bool hit = exact ? strcasecmp(t.c_str(), text) == 0
                     : t.size() >= length && strncasecmp(t.c_str(), text, length) == 0;
    if (hit) return i;
  }
  return -1;
}

int RowHeight(HFONT font) { return draw::FontHeight(font) + 2; }

void PaintRows(HWND window, HDC dc, const RECT& area, const ListView& v) {
  HWND parent = GetParent(window);
  for (int i = v.top, y = area.top; i < v.model->size() && y < area.bottom;
       ++i, y += v.row_height) {
    RECT row{area.left, y, area.right, y + v.row_height};
    bool selected = i == v.selected;
    if (v.owner_draw && parent != nullptr) {
      UINT state = (selected ? ODS_SELECTED : 0) | (v.focus && i == v.caret ? ODS_FOCUS : 0);
      DRAWITEMSTRUCT dis{v.owner_type,
                         static_cast<UINT>(GetDlgCtrlID(window)),
                         static_cast<UINT>(i),
                         ODA_DRAWENTIRE,
                         state,
                         window,
                         dc,
                         row,
                         v.model->at(i).data};
      SendMessageA(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
      continue;
    }
    if (selected) draw::Fill(dc, row, draw::kSelection);
    SetBkMode(dc, TRANSPARENT);
    COLORREF old = SetTextColor(dc, selected ? draw::kSelectionText : GetTextColor(dc));
    RECT text = row;
    text.left += 2;
    draw::Text(dc, v.font, v.model->at(i).text, &text,
               DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, old);
    if (v.focus && i == v.caret) DrawFocusRect(dc, &row);
  }
}

}  // namespace platform::ui
