#include "platform/ui/controls_list.h"

#include <strings.h>

#include <algorithm>
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

ScrollBar ScrollBar::For(const RECT& c, int top, int rows, int count) {
  ScrollBar b;
  b.whole = RECT{c.right - kScrollBarWidth, 0, c.right, c.bottom};
  b.up = RECT{b.whole.left, 0, c.right, kScrollBarWidth};
  b.down = RECT{b.whole.left, c.bottom - kScrollBarWidth, c.right, c.bottom};
  b.track_top = kScrollBarWidth;
  b.track_length = std::max(0, static_cast<int>(c.bottom) - 2 * kScrollBarWidth);
  int n = std::max(1, count);
  int length = std::max(8, b.track_length * rows / n);
  int room = std::max(1, n - rows);
  int at = b.track_top + (b.track_length - length) * std::clamp(top, 0, room) / room;
  b.thumb = RECT{b.whole.left, at, c.right, at + length};
  return b;
}

ScrollBar::Part ScrollBar::Hit(POINT p) const {
  if (!PtInRect(&whole, p)) return Part::kNone;
  if (PtInRect(&up, p)) return Part::kUp;
  if (PtInRect(&down, p)) return Part::kDown;
  if (p.y < thumb.top) return Part::kPageUp;
  if (p.y >= thumb.bottom) return Part::kPageDown;
  return Part::kThumb;
}

int ScrollBar::TopFor(int thumb_top, int rows, int count) const {
  int length = thumb.bottom - thumb.top;
  int span = std::max(1, track_length - length);
  int room = std::max(0, count - rows);
  int at = std::clamp(thumb_top - track_top, 0, span);
  return (at * room + span / 2) / span;
}

void ScrollBar::Paint(HDC dc) const {
  draw::Fill(dc, whole, draw::kFace);
  for (const RECT* part : {&up, &down, &thumb}) {
    RECT r = *part;
    draw::Raised(dc, &r);
    draw::Fill(dc, r, draw::kFace);
  }
  int cx = (up.left + up.right) / 2;
  for (int i = 0; i < 4; ++i) {
    int y = (up.top + up.bottom) / 2 - 2 + i;
    draw::Fill(dc, RECT{cx - i, y, cx + i + 1, y + 1}, draw::kText);
    y = (down.top + down.bottom) / 2 + 1 - i;
    draw::Fill(dc, RECT{cx - i, y, cx + i + 1, y + 1}, draw::kText);
  }
}

}  // namespace platform::ui
