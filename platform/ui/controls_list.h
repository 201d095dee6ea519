#pragma once
// Internal: the items of a list box or a combo box's list, and how a list paints its rows.

#include <string>
#include <vector>

#include "platform/ui/controls_draw.h"

namespace platform::ui {

struct ListItem {
  std::string text;
  ULONG_PTR data = 0;
};

class ListModel {
 public:
  explicit ListModel(bool sorted) : sorted_(sorted) {}
  // Gives the index the item went to (sorted lists place it by text, case ignored).
  int Add(const char* text);
  int Insert(int index, const char* text);  // -1: at the end; -1 (LB_ERR) when out of range
  bool Delete(int index);
  void Clear();
  // The first item from after `start` on (wrapping; -1: from the top) whose text begins with
  // (or, `exact`, is) `text`, case ignored; -1 when none.
  int Find(int start, const char* text, bool exact) const;
  int size() const { return static_cast<int>(items_.size()); }
  bool Valid(int index) const { return index >= 0 && index < size(); }
  ListItem& at(int index) { return items_[static_cast<size_t>(index)]; }
  const ListItem& at(int index) const { return items_[static_cast<size_t>(index)]; }
  void set_sorted(bool sorted) { sorted_ = sorted; }

 private:
  bool sorted_;
  std::vector<ListItem> items_;
};

// What a list shows: rows from `top`, `selected` highlighted, the focus frame on `caret`
// when `focus`.
struct ListView {
  const ListModel* model;
  int top;
  int selected;
  int caret;
  bool focus;
  int row_height;
  HFONT font;
  bool owner_draw;
  UINT owner_type;  // ODT_LISTBOX or ODT_COMBOBOX
};
void PaintRows(HWND window, HDC dc, const RECT& area, const ListView& view);

// The vertical scroll bar of a list whose `count` rows do not fit its `rows`, at the right of
// its client area, showing row `top` first.
constexpr int kScrollBarWidth = 16;
struct ScrollBar {
  enum class Part { kNone, kUp, kDown, kPageUp, kPageDown, kThumb };
  static ScrollBar For(const RECT& client, int top, int rows, int count);
  Part Hit(POINT p) const;
  // The first row shown when the thumb's top is dragged to `thumb_top`.
  int TopFor(int thumb_top, int rows, int count) const;
  void Paint(HDC dc) const;

  RECT whole, up, down, thumb;
  int track_top, track_length;
};
// The row height for the font: its height plus two pixels.
int RowHeight(HFONT font);

}  // namespace platform::ui
