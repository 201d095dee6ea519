#pragma once
// Internal to the list view: its rows, columns and the calls its two source files share.

#include <string>
#include <vector>

#include "platform/ui/commctrl_internal.h"

namespace platform::ui::commctrl {

struct ListRow {
  std::vector<std::string> texts;  // by column; missing ones are empty
  LPARAM data = 0;
  UINT state = 0;  // LVIS_*
};

struct ListColumn {
  std::string text;
  int width = 0;
  int fmt = LVCFMT_LEFT;
};

struct ListView {
  std::vector<ListColumn> columns;
  std::vector<ListRow> rows;
  HWND header = nullptr;
  HFONT font = nullptr;
  COLORREF back = RGB(255, 255, 255);
  COLORREF text = RGB(0, 0, 0);
  COLORREF text_back = RGB(255, 255, 255);
  DWORD ex_style = 0;
  int row_height = 16;
  int header_height = 0;
  int top = 0;          // first row shown
  int left = 0;         // pixels the columns are scrolled to the right
  int focus = -1;       // row with the focus mark
  int scroll_drag = 0;  // the thumb held: 0 none, 1 the vertical bar's, 2 the horizontal's
  int scroll_grab = 0;  // from the thumb's leading edge to the point that holds it
};

StateMap<ListView>& ListStates();

// Handles LVM_* item and column messages; `lv` may be gone when it returns.
LRESULT ListItemMessage(HWND window, ListView* lv, UINT message, WPARAM wparam, LPARAM lparam);
// Sets the state bits of row `index` under `mask`, with LVN_ITEMCHANGING / LVN_ITEMCHANGED.
// False when the row is gone or the parent refused.
bool SetRowState(HWND window, int index, UINT state, UINT mask);
// Rows that fit below the header (at least 1).
int RowsPerPage(HWND window, const ListView& lv);
void EnsureVisible(HWND window, ListView* lv, int index);
RECT RowRect(HWND window, const ListView& lv, int index);
int TotalColumnWidth(const ListView& lv);
// Asks the parent (owner-drawn lists) or the font for the row height; re-lays the header.
void Relayout(HWND window);
// Moves the first row shown by `rows`, kept within the list.
void Scroll(HWND window, ListView* lv, int rows);

// Moves the columns left (dx > 0) or right by `dx` pixels, kept within the list; moves the
// header with them.
void ScrollColumns(HWND window, ListView* lv, int dx);

// The scroll bars (listview_scroll.cpp): vertical at the right while the rows do not fit,
// horizontal at the bottom while the columns do not.
bool VerticalBarShown(HWND window, const ListView& lv);
bool HorizontalBarShown(HWND window, const ListView& lv);
// The width the columns are shown in, and the height the rows are, without the bars.
int ViewWidth(HWND window, const ListView& lv);
int ViewHeight(HWND window, const ListView& lv);
void PaintScrollBars(HWND window, HDC dc, const ListView& lv);
// A press at (x, y); false when it is not on a bar.
bool ScrollBarPress(HWND window, ListView* lv, int x, int y);
void ScrollBarDrag(HWND window, ListView* lv, int x, int y);
void ScrollBarRelease(HWND window, ListView* lv);

}  // namespace platform::ui::commctrl
