#pragma once
// CYSListCtrl: a report list whose rows it draws itself (owner-drawn, full-row selection):
// each column's text aligned as the column was inserted, in its own text and background
// colours and row font, at a row height of its own; its header is a CHeaderCtrlCl.
//
// The row height and the drawing come back to it through message reflection: its parent is
// a CWnd or calls CWnd::ReflectNotification.

#include <string>
#include <vector>

#include "device/widgets/header_ctrl_cl.h"
#include "device/widgets/wnd.h"

namespace device::widgets {

class CYSListCtrl : public CWnd {
 public:
  ~CYSListCtrl() override;

  // Also subclasses the list's header and makes the list owner-drawn.
  BOOL Attach(HWND list);
  CHeaderCtrlCl& Header() { return header_; }

  // `align` is LVCFMT_LEFT, LVCFMT_CENTER or LVCFMT_RIGHT.
  int InsertColumn(int index, const std::string& title, int width, int align);
  int InsertItem(int index, const std::string& text, LPARAM data = 0);
  BOOL SetItemText(int row, int column, const std::string& text);
  std::string GetItemText(int row, int column) const;
  LPARAM GetItemData(int row) const;
  BOOL SetItemData(int row, LPARAM data);
  BOOL DeleteItem(int row);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  int GetSelectedRow() const;  // -1 when none

  void SetRowHeight(int height);
  int row_height() const { return row_height_; }
  void SetBkColor(COLORREF color);
  void SetTextColor(COLORREF color);
  void SetFontHeight(int height);

 protected:
  bool OnChildNotify(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;

 private:
  void DrawItem(const DRAWITEMSTRUCT& item);

  CHeaderCtrlCl header_;
  std::vector<int> align_;
  int row_height_ = 20;
  COLORREF back_ = RGB(220, 220, 220);
  COLORREF text_ = RGB(0, 0, 0);
  COLORREF selected_back_ = RGB(51, 102, 153);
  COLORREF selected_text_ = RGB(255, 255, 255);
  HFONT font_ = nullptr;
};

}  // namespace device::widgets
