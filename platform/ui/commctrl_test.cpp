// The common controls under a person's mouse and keyboard on the headless display.
#include "platform/ui/commctrl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/test_support.h"
#include "platform/ui/ui.h"

namespace {

using platform::display::Display;

struct Note {
  UINT code;
  HWND from;
  int item;
  int sub;
  LPARAM data;
  UINT new_state;
};

// What the parent window was told.
struct ParentLog {
  std::vector<Note> notes;
  std::vector<std::pair<WORD, int>> scrolls;  // code, position
  std::vector<DRAWITEMSTRUCT> draws;
  int vertical = 0;  // of the scrolls, those told by WM_VSCROLL
  UINT measure_height = 22;
  bool refuse_width = false;
  void Clear() {
    notes.clear();
    scrolls.clear();
    draws.clear();
  }
  int Count(UINT code) const {
    int n = 0;
    for (const Note& x : notes) n += x.code == code;
    return n;
  }
  const Note* Last(UINT code) const {
    for (auto it = notes.rbegin(); it != notes.rend(); ++it) {
      if (it->code == code) return &*it;
    }
    return nullptr;
  }
};
ParentLog g_parent;

LRESULT OnNotify(const NMHDR* hdr) {
  Note n{hdr->code, hdr->hwndFrom, -1, 0, 0, 0};
  if (hdr->code == HDN_ITEMCHANGINGA && g_parent.refuse_width) return TRUE;
  if (hdr->code > LVN_KEYDOWN && hdr->code <= LVN_FIRST) {
    auto* nm = reinterpret_cast<const NMLISTVIEW*>(hdr);
    n = Note{hdr->code, hdr->hwndFrom, nm->iItem, nm->iSubItem, nm->lParam, nm->uNewState};
  } else if (hdr->code == NM_CLICK || hdr->code == NM_DBLCLK || hdr->code == NM_RCLICK) {
    auto* nm = reinterpret_cast<const NMITEMACTIVATE*>(hdr);
    n = Note{hdr->code, hdr->hwndFrom, nm->iItem, nm->iSubItem, nm->lParam, 0};
  } else if (hdr->code <= HDN_FIRST && hdr->code >= HDN_TRACKA) {
    auto* nm = reinterpret_cast<const NMHEADERA*>(hdr);
    n.item = nm->iItem;
  } else if (hdr->code == DTN_DATETIMECHANGE) {
    auto* nm = reinterpret_cast<const NMDATETIMECHANGE*>(hdr);
    n.item = nm->st.wDay;
  }
  g_parent.notes.push_back(n);
  return 0;
}

LRESULT ParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<const NMHDR*>(lparam));
    case WM_HSCROLL:
    case WM_VSCROLL:
      g_parent.scrolls.emplace_back(LOWORD(wparam), static_cast<SHORT>(HIWORD(wparam)));
      g_parent.vertical += message == WM_VSCROLL;
      return 0;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = g_parent.measure_height;
      return TRUE;
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      g_parent.draws.push_back(*di);
      SetDCBrushColor(di->hDC, (di->itemState & ODS_SELECTED) ? RGB(200, 0, 0) : RGB(0, 0, 200));
      FillRect(di->hDC, &di->rcItem, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
      return TRUE;
    }
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

class CommonControls : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = Display::CreateHeadless(640, 480, &error);
    ASSERT_NE(display_, nullptr) << error;
    platform::gdi::InstallDcProvider();
    InitCommonControls();
    WNDCLASSA wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = "CcParent";
    RegisterClassA(&wc);
    parent_ = CreateWindowExA(0, "CcParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    g_parent = ParentLog{};
  }
  void TearDown() override {
    DestroyWindow(parent_);
    platform::ui::test::Drain();
    display_.reset();
  }

  HWND Child(LPCSTR cls, DWORD style, int x, int y, int w, int h, int id) {
    return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent_,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }
  void Pump() { platform::ui::test::Drain(); }
  // Pumps until `done` or two seconds passed.
  bool PumpUntil(const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Pump();
      Sleep(5);
    }
    return true;
  }
  platform::display::InputInjector& Input() { return display_->input(); }
  uint32_t PixelAt(int x, int y) {
    auto& fb = display_->framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    return fb.Pixel(x, y);
  }

  std::unique_ptr<Display> display_;
  HWND parent_ = nullptr;
};

void AddColumn(HWND list, int index, const char* title, int width, int fmt) {
  LVCOLUMNA c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  c.pszText = const_cast<char*>(title);
  c.cx = width;
  c.fmt = fmt;
  ASSERT_EQ(SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&c)), index);
}

int AddRow(HWND list, int index, const std::vector<std::string>& texts, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = const_cast<char*>(texts[0].c_str());
  item.lParam = data;
  int at =
      static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  for (size_t i = 1; i < texts.size(); ++i) {
    LVITEMA sub{};
    sub.iSubItem = static_cast<int>(i);
    sub.pszText = const_cast<char*>(texts[i].c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&sub));
  }
  return at;
}

std::string ItemText(HWND list, int row, int column) {
  char buffer[64] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

LPARAM ItemData(HWND list, int row) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

RECT RowRect(HWND list, int row) {
  RECT r{LVIR_BOUNDS, 0, 0, 0};
  SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  return r;
}

class ListViewTest : public CommonControls {
 protected:
  void SetUp() override {
    CommonControls::SetUp();
    list_ = Child(WC_LISTVIEWA, LVS_REPORT | LVS_SINGLESEL, 10, 10, 400, 200, 1282);
    ASSERT_NE(list_, nullptr);
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    AddColumn(list_, 0, "NO", 60, LVCFMT_CENTER);
    AddColumn(list_, 1, "Path", 200, LVCFMT_LEFT);
    AddColumn(list_, 2, "Progress", 100, LVCFMT_RIGHT);
    for (int i = 0; i < 5; ++i) {
      AddRow(list_, i, {"0000" + std::to_string(i + 1), "file" + std::to_string(i), "0"}, 1000 + i);
    }
    Pump();
    g_parent.Clear();
  }
  // Screen point in the middle of a cell.
  POINT Cell(int row, int x) {
    RECT r = RowRect(list_, row);
    POINT p{x, (r.top + r.bottom) / 2};
    ClientToScreen(list_, &p);
    return p;
  }
  HWND list_ = nullptr;
};

TEST_F(ListViewTest, RowsKeepTheirTextsAndItemDataThroughInsertsAndDeletes) {
  EXPECT_EQ(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0), 5);
  EXPECT_EQ(ItemText(list_, 2, 1), "file2");
  EXPECT_EQ(ItemText(list_, 2, 7), "");  // past the last column: empty, not garbage
  AddRow(list_, 1, {"new", "inserted"}, 77);
  EXPECT_EQ(ItemData(list_, 1), 77);
  EXPECT_EQ(ItemData(list_, 2), 1001);
  ASSERT_TRUE(SendMessageA(list_, LVM_DELETEITEM, 3, 0));
  const Note* deleted = g_parent.Last(LVN_DELETEITEM);
  ASSERT_NE(deleted, nullptr);
  EXPECT_EQ(deleted->data, 1002);
  std::vector<LPARAM> left;
  for (int i = 0; i < SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0); ++i)
    left.push_back(ItemData(list_, i));
  EXPECT_EQ(left, (std::vector<LPARAM>{1000, 77, 1001, 1003, 1004}));
  LVFINDINFOA find{};
  find.flags = LVFI_PARAM;
  find.lParam = 1003;
  EXPECT_EQ(
      SendMessageA(list_, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)),
      3);
  EXPECT_FALSE(SendMessageA(list_, LVM_DELETEITEM, 99, 0));
  EXPECT_FALSE(SendMessageA(list_, LVM_GETITEMA, 0, 0));
}

TEST_F(ListViewTest, ClicksSelectWholeRowsAndTellTheParent) {
  POINT p = Cell(2, 300);  // in the third column: full-row selection takes it
  Input().Click(p.x, p.y);
  Pump();
  EXPECT_EQ(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
  const Note* changed = g_parent.Last(LVN_ITEMCHANGED);
  ASSERT_NE(changed, nullptr);
  EXPECT_EQ(changed->item, 2);
  EXPECT_EQ(changed->data, 1002);
  EXPECT_TRUE(changed->new_state & LVIS_SELECTED);
  const Note* click = g_parent.Last(NM_CLICK);
  ASSERT_NE(click, nullptr);
  EXPECT_EQ(click->item, 2);
  EXPECT_EQ(click->sub, 2);
  EXPECT_EQ(click->data, 1002);

  Input().Wait(1000);
  p = Cell(4, 30);
  Input().DoubleClick(p.x, p.y);
  Pump();
  const Note* dbl = g_parent.Last(NM_DBLCLK);
  ASSERT_NE(dbl, nullptr);
  EXPECT_EQ(dbl->item, 4);
  EXPECT_EQ(SendMessageA(list_, LVM_GETSELECTEDCOUNT, 0, 0), 1);

  Input().Key(VK_UP);
  Pump();
  EXPECT_EQ(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);

  // Without full-row selection only the first column selects.
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, 0);
  Input().Wait(1000);
  p = Cell(1, 300);
  Input().Click(p.x, p.y);
  Pump();
  EXPECT_EQ(SendMessageA(list_, LVM_GETSELECTEDCOUNT, 0, 0), 0);
  EXPECT_EQ(g_parent.Last(NM_CLICK)->item, -1);
}

TEST_F(ListViewTest, HeaderClicksAndDividerDragsReachTheParent) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  RECT item{};
  SendMessageA(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  POINT p{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ClientToScreen(header, &p);
  Input().Click(p.x, p.y);
  Pump();
  const Note* click = g_parent.Last(HDN_ITEMCLICKA);
  ASSERT_NE(click, nullptr);
  EXPECT_EQ(click->from, header);
  EXPECT_EQ(click->item, 1);
  const Note* column = g_parent.Last(LVN_COLUMNCLICK);
  ASSERT_NE(column, nullptr);
  EXPECT_EQ(column->sub, 1);

  // The divider at the right of column 0 (x = 60 in the header).
  POINT d{60, (item.top + item.bottom) / 2};
  ClientToScreen(header, &d);
  Input().Wait(1000);
  Input().MoveTo(d.x, d.y);
  Input().Press(platform::display::Button::kLeft, d.x, d.y);
  Pump();
  Input().MoveTo(d.x + 15, d.y);
  Input().MoveTo(d.x + 30, d.y);
  Input().Release(platform::display::Button::kLeft, d.x + 30, d.y);
  Pump();
  EXPECT_EQ(SendMessageA(list_, LVM_GETCOLUMNWIDTH, 0, 0), 90);
  EXPECT_EQ(g_parent.Count(HDN_BEGINTRACKA), 1);
  EXPECT_EQ(g_parent.Count(HDN_ENDTRACKA), 1);
  EXPECT_GE(g_parent.Count(HDN_ITEMCHANGEDA), 1);
  EXPECT_EQ(g_parent.Count(HDN_ITEMCLICKA), 1);  // a drag is no click

  g_parent.refuse_width = true;
  d.x += 30;
  Input().Wait(1000);
  Input().Press(platform::display::Button::kLeft, d.x, d.y);
  Pump();
  Input().MoveTo(d.x - 40, d.y);
  Input().Release(platform::display::Button::kLeft, d.x - 40, d.y);
  Pump();
  EXPECT_EQ(SendMessageA(list_, LVM_GETCOLUMNWIDTH, 0, 0), 90);
}

TEST_F(CommonControls, OwnerDrawnRowsAreDrawnByTheParentAtTheHeightItAsked) {
  g_parent.measure_height = 24;
  HWND list = Child(WC_LISTVIEWA, LVS_REPORT | LVS_OWNERDRAWFIXED, 20, 20, 300, 150, 5);
  AddColumn(list, 0, "Path", 200, LVCFMT_LEFT);
  AddColumn(list, 1, "Download progress", 100, LVCFMT_CENTER);
  for (int i = 0; i < 3; ++i) AddRow(list, i, {"row"}, 500 + i);
  LVITEMA state{};
  state.state = state.stateMask = LVIS_SELECTED;
  SendMessageA(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
  g_parent.draws.clear();
  UpdateWindow(parent_);
  Pump();
  RECT r = RowRect(list, 1);
  EXPECT_EQ(r.bottom - r.top, 24);
  ASSERT_EQ(g_parent.draws.size(), 3u);
  EXPECT_EQ(g_parent.draws[1].itemData, 501u);
  EXPECT_EQ(g_parent.draws[1].CtlType, ODT_LISTVIEW);
  EXPECT_TRUE(g_parent.draws[1].itemState & ODS_SELECTED);
  EXPECT_FALSE(g_parent.draws[0].itemState & ODS_SELECTED);
  // What the parent drew reaches the screen: row 1 red, row 0 blue.
  POINT p{50, (r.top + r.bottom) / 2};
  ClientToScreen(list, &p);
  EXPECT_EQ(PixelAt(p.x, p.y), 0xC80000u);
  EXPECT_EQ(PixelAt(p.x, p.y - 24), 0x0000C8u);
}

TEST_F(CommonControls, TrackbarClampsItsPositionAndReportsADrag) {
  HWND bar = Child(TRACKBAR_CLASSA, TBS_HORZ, 20, 300, 216, 30, 7);
  SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
  SendMessageA(bar, TBM_SETPOS, TRUE, 150);
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 100);
  SendMessageA(bar, TBM_SETPOS, TRUE, -5);
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 0);
  // A range given the wrong way round is still a range, and the position stays inside it.
  SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(50, 10));
  EXPECT_EQ(SendMessageA(bar, TBM_GETRANGEMIN, 0, 0), 10);
  EXPECT_EQ(SendMessageA(bar, TBM_GETRANGEMAX, 0, 0), 50);
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 10);
  SendMessageA(bar, TBM_SETRANGEMAX, TRUE, 5);  // below the minimum: both ends go to 5
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 5);
  SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 200));

  RECT thumb{};
  SendMessageA(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  POINT p{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
  ClientToScreen(bar, &p);
  Input().MoveTo(p.x, p.y);
  Input().Press(platform::display::Button::kLeft, p.x, p.y);
  Pump();  // the press takes the capture before the mouse moves on
  Input().MoveTo(p.x + 100, p.y);
  Input().MoveTo(p.x + 500, p.y);  // far past the end
  Input().Release(platform::display::Button::kLeft, p.x + 500, p.y);
  Pump();
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 200);
  ASSERT_GE(g_parent.scrolls.size(), 4u);
  EXPECT_EQ(g_parent.scrolls[0], std::make_pair(TB_THUMBTRACK, 105));
  EXPECT_EQ(g_parent.scrolls[1], std::make_pair(TB_THUMBTRACK, 200));
  EXPECT_EQ(g_parent.scrolls[2], std::make_pair(TB_THUMBPOSITION, 200));
  EXPECT_EQ(g_parent.scrolls[3].first, TB_ENDTRACK);

  g_parent.Clear();
  Input().Key(VK_LEFT);
  Pump();
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 199);
  ASSERT_EQ(g_parent.scrolls.size(), 2u);
  EXPECT_EQ(g_parent.scrolls[0].first, TB_LINEUP);
  EXPECT_EQ(g_parent.scrolls[1].first, TB_ENDTRACK);
}

SYSTEMTIME PickerTime(HWND picker) {
  SYSTEMTIME t{};
  EXPECT_EQ(SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t)),
            static_cast<LRESULT>(GDT_VALID));
  return t;
}

std::string Text(HWND window) {
  char buffer[64] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

TEST_F(CommonControls, DatePickerFieldsAreEditedFromTheKeyboardAndRefuseImpossibleDates) {
  HWND picker = Child(DATETIMEPICK_CLASSA, WS_TABSTOP, 20, 360, 180, 24, 1093);
  SendMessageA(picker, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("yyyy-MM-dd HH:mm:ss"));
  SYSTEMTIME t{};
  t.wYear = 2023;
  t.wMonth = 1;
  t.wDay = 31;
  t.wHour = 23;
  t.wMinute = 59;
  t.wSecond = 59;
  ASSERT_TRUE(SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t)));
  EXPECT_EQ(Text(picker), "2023-01-31 23:59:59");
  SYSTEMTIME bad = t;
  bad.wMonth = 2;
  bad.wDay = 30;
  EXPECT_FALSE(SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&bad)));
  EXPECT_FALSE(SetWindowTextA(picker, "2023-02-29 00:00:00"));
  EXPECT_EQ(Text(picker), "2023-01-31 23:59:59");

  SetFocus(picker);       // the year field
  Input().Key(VK_RIGHT);  // month
  Input().Key(VK_UP);     // February: the 31st becomes the 28th
  Pump();
  EXPECT_EQ(Text(picker), "2023-02-28 23:59:59");
  Input().Key(VK_RIGHT);  // day
  Input().Key('3');       // no day 3x in February: 3 is complete and the hour comes next
  Input().Key('1');
  Input().Key('5');
  Pump();
  EXPECT_EQ(Text(picker), "2023-02-03 15:59:59");
  Input().Key(VK_LEFT);  // hour
  Input().Key(VK_LEFT);  // day again
  Input().Key(VK_DOWN);
  Pump();
  EXPECT_EQ(PickerTime(picker).wDay, 2);
  // In April, "3" waits for a second digit and "31" is refused: the day stays what it was.
  Input().Key(VK_LEFT);
  Input().Key('0');
  Input().Key('4');
  Input().Key('3');
  Input().Key('1');
  Pump();
  EXPECT_EQ(Text(picker), "2023-04-02 15:59:59");
  EXPECT_TRUE(SetWindowTextA(picker, "2024-02-29 08:00:00"));
  EXPECT_EQ(PickerTime(picker).wDayOfWeek, 4);
  EXPECT_GE(g_parent.Count(DTN_DATETIMECHANGE), 4);
  SetFocus(nullptr);
}

TEST_F(CommonControls, TooltipShowsAfterTheDelayOverItsToolAndHidesWhenLeft) {
  HWND tool = platform::ui::test::MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 400, 300, 60, 30,
                                             parent_, 1015);
  HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0,
                             0, 0, 0, parent_, nullptr, nullptr, nullptr);
  ASSERT_NE(tip, nullptr);
  TOOLINFOA info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = parent_;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = const_cast<char*>("left top");
  ASSERT_TRUE(SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)));
  SendMessageA(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 80);
  auto start = std::chrono::steady_clock::now();
  Input().MoveTo(420, 310);
  Pump();
  EXPECT_FALSE(IsWindowVisible(tip));
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(tip) != 0; }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
  EXPECT_EQ(Text(tip), "left top");
  RECT r{};
  GetWindowRect(tip, &r);
  EXPECT_GT(r.top, 310);  // below the cursor, not under it
  Input().MoveTo(100, 100);
  Pump();
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(tip) == 0; }));
  DestroyWindow(tip);
}

}  // namespace

namespace {

LRESULT g_item_answer = CDRF_SKIPDEFAULT;

LRESULT CustomDrawParent(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY) {
    auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(lparam);
    if (cd->hdr.code != NM_CUSTOMDRAW) return 0;
    if (cd->dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (cd->dwDrawStage == CDDS_ITEMPREPAINT && cd->dwItemSpec == 1) {
      SetDCBrushColor(cd->hdc, RGB(0, 200, 0));
      FillRect(cd->hdc, &cd->rc, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
      return g_item_answer;
    }
    return CDRF_DODEFAULT;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(CommonControls, HeaderItemsCanBeDrawnByTheListsParent) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = CustomDrawParent;
  wc.lpszClassName = "CcCustomDraw";
  RegisterClassA(&wc);
  HWND owner = CreateWindowExA(0, "CcCustomDraw", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 200,
                               parent_, nullptr, nullptr, nullptr);
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 10, 10, 300,
                              100, owner, nullptr, nullptr, nullptr);
  AddColumn(list, 0, "Path", 100, LVCFMT_LEFT);
  AddColumn(list, 1, "Progress", 100, LVCFMT_LEFT);
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  UpdateWindow(parent_);
  Pump();
  POINT own{150, 5};  // in item 1: the parent's green, the default face skipped
  ClientToScreen(header, &own);
  POINT def{50, 5};
  ClientToScreen(header, &def);
  EXPECT_EQ(PixelAt(own.x, own.y), 0x00C800u);
  EXPECT_NE(PixelAt(def.x, def.y), 0x00C800u);
  g_item_answer = CDRF_DODEFAULT;  // the default face is drawn over the parent's
  InvalidateRect(header, nullptr, FALSE);
  UpdateWindow(header);
  EXPECT_NE(PixelAt(own.x, own.y), 0x00C800u);
  DestroyWindow(owner);
}

}  // namespace

namespace {

bool g_refuse_changes = false;
LRESULT RefusingParent(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(lparam);
    if (g_refuse_changes && (hdr->code == LVN_ITEMCHANGING || hdr->code == HDN_BEGINTRACKA)) {
      return TRUE;
    }
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(ListViewTest, ParentsMayRefuseChangesAndKeysScrollTheRowIntoView) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RefusingParent;
  wc.lpszClassName = "CcRefusing";
  RegisterClassA(&wc);
  HWND owner = CreateWindowExA(0, "CcRefusing", "", WS_CHILD | WS_VISIBLE, 0, 250, 400, 120,
                               parent_, nullptr, nullptr, nullptr);
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 300,
                              100, owner, nullptr, nullptr, nullptr);
  AddColumn(list, 0, "A", 100, LVCFMT_LEFT);
  AddColumn(list, 1, "B", 100, LVCFMT_LEFT);
  for (int i = 0; i < 30; ++i) AddRow(list, i, {"a" + std::to_string(i), "b"}, i);
  // A column put in front shifts the sub-items along.
  AddColumn(list, 0, "New", 50, LVCFMT_LEFT);
  EXPECT_EQ(ItemText(list, 3, 0), "");
  EXPECT_EQ(ItemText(list, 3, 1), "a3");
  EXPECT_EQ(ItemText(list, 3, 2), "b");

  g_refuse_changes = true;
  LVITEMA state{};
  state.state = state.stateMask = LVIS_SELECTED;
  EXPECT_FALSE(SendMessageA(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state)));
  EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
  g_refuse_changes = false;

  SetFocus(list);
  int page = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
  ASSERT_GT(page, 0);
  ASSERT_LT(page, 30);
  Input().Key(VK_END);
  Pump();
  EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 29);
  EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 30 - page);
  Input().Key(VK_HOME);
  Pump();
  EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 0);
  SetFocus(nullptr);
  DestroyWindow(owner);
}

TEST_F(CommonControls, DatePickerFieldsAreChosenWithTheMouseAndStepWithItsSpin) {
  HWND picker = Child(DATETIMEPICK_CLASSA, DTS_UPDOWN, 20, 400, 200, 24, 1094);
  SendMessageA(picker, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("yyyy-MM-dd HH:mm:ss"));
  ASSERT_TRUE(SetWindowTextA(picker, "2026-12-09 23:59:59"));
  POINT spin_down{200 - 6, 20};  // lower half of the spin at the right end
  ClientToScreen(picker, &spin_down);
  Input().Click(spin_down.x, spin_down.y);  // the press focuses it: the year is stepped
  Pump();
  EXPECT_EQ(Text(picker), "2025-12-09 23:59:59");
  // The seconds field lies at the end of the text: a click there picks it.
  HDC dc = GetDC(picker);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SIZE before{};
  GetTextExtentPoint32A(dc, "2026-12-09 23:59:", 17, &before);
  ReleaseDC(picker, dc);
  POINT seconds{4 + before.cx + 3, 12};
  ClientToScreen(picker, &seconds);
  Input().Wait(1000);
  Input().Click(seconds.x, seconds.y);
  Input().Key(VK_UP);
  Pump();
  EXPECT_EQ(Text(picker), "2025-12-09 23:59:00");
  SetFocus(nullptr);
}

}  // namespace

namespace {

TEST_F(CommonControls, ListScrollBarPagesAndDragsThroughTheRows) {
  HWND list = Child(WC_LISTVIEWA, LVS_REPORT, 10, 10, 300, 120, 9);
  AddColumn(list, 0, "A", 250, LVCFMT_LEFT);
  for (int i = 0; i < 40; ++i) AddRow(list, i, {"row" + std::to_string(i)}, i);
  Pump();
  int page = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
  RECT last{};
  GetClientRect(list, &last);
  POINT below{last.right - 7, last.bottom - 3};  // the track under the thumb
  ClientToScreen(list, &below);
  Input().Click(below.x, below.y);
  Pump();
  EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), page);
  EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);  // the bar selects nothing

  // Hold the thumb (now a page down) and pull it to the end of the track.
  RECT first{LVIR_BOUNDS, 0, 0, 0};
  SendMessageA(list, LVM_GETITEMRECT, page, reinterpret_cast<LPARAM>(&first));
  int track_top = first.top;  // the header's height: rows start where the track does
  int track = last.bottom - track_top;
  int thumb_size = std::max(track * page / 40, 12);
  int thumb_top = track_top + (track - thumb_size) * page / (40 - page);
  POINT grab{last.right - 7, thumb_top + thumb_size / 2};
  ClientToScreen(list, &grab);
  Input().Wait(1000);
  Input().MoveTo(grab.x, grab.y);
  Input().Press(platform::display::Button::kLeft, grab.x, grab.y);
  Pump();
  Input().MoveTo(grab.x, grab.y + 500);
  Input().Release(platform::display::Button::kLeft, grab.x, grab.y + 500);
  Pump();
  EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), 40 - page);
  EXPECT_EQ(GetCapture(), nullptr);
  DestroyWindow(list);
}

}  // namespace

namespace {

TEST_F(CommonControls, VerticalTrackbarReportsByWmVscrollAndPagesTowardsAPress) {
  HWND bar = Child(TRACKBAR_CLASSA, TBS_VERT, 500, 100, 30, 216, 8);
  SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 50));
  SendMessageA(bar, TBM_SETPAGESIZE, 0, 10);
  POINT low{15, 200};  // below the thumb at 0: one page down
  ClientToScreen(bar, &low);
  Input().Click(low.x, low.y);
  Pump();
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 10);
  ASSERT_EQ(g_parent.scrolls.size(), 2u);
  EXPECT_EQ(g_parent.scrolls[0].first, TB_PAGEDOWN);
  EXPECT_EQ(g_parent.scrolls[1].first, TB_ENDTRACK);
  EXPECT_EQ(g_parent.vertical, 2);
  EnableWindow(bar, FALSE);  // disabled, the press never reaches it
  Input().Wait(1000);
  Input().Click(low.x, low.y);
  Pump();
  EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 10);
}

}  // namespace

namespace {

TEST_F(CommonControls, ColumnsWiderThanTheListScrollWithTheirHeader) {
  HWND list = Child(WC_LISTVIEWA, LVS_REPORT, 10, 10, 200, 120, 11);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
  for (int c = 0; c < 3; ++c) AddColumn(list, c, "C", 150, LVCFMT_LEFT);
  for (int i = 0; i < 3; ++i) AddRow(list, i, {"x", "y", "z"}, i);
  Pump();
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  SetFocus(list);
  Input().Key(VK_RIGHT);
  Input().Key(VK_RIGHT);
  Pump();
  RECT lr{}, hr{};
  GetWindowRect(list, &lr);
  GetWindowRect(header, &hr);
  EXPECT_EQ(hr.left, lr.left - 40);  // two steps of 20 pixels
  RECT row{LVIR_BOUNDS, 0, 0, 0};
  SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  EXPECT_EQ(row.left, -40);
  // A click at x = 120 of the view lies at 160 of the columns: the second column.
  POINT p{120, (row.top + row.bottom) / 2};
  ClientToScreen(list, &p);
  Input().Click(p.x, p.y);
  Pump();
  EXPECT_EQ(g_parent.Last(NM_CLICK)->item, 1);
  EXPECT_EQ(g_parent.Last(NM_CLICK)->sub, 1);
  // The horizontal bar pages and drags; the columns never scroll past their last pixel.
  RECT client{};
  GetClientRect(list, &client);
  POINT bar{client.right - 8, client.bottom - 5};
  ClientToScreen(list, &bar);
  Input().Wait(1000);
  Input().Click(bar.x, bar.y);  // a page: the view's width
  Pump();
  GetWindowRect(header, &hr);
  EXPECT_EQ(hr.left, lr.left - 240);
  // The thumb now lies under that point: held and pulled far right, it stops at the end.
  Input().Wait(1000);
  Input().Press(platform::display::Button::kLeft, bar.x, bar.y);
  Pump();
  Input().MoveTo(bar.x + 300, bar.y);
  Input().Release(platform::display::Button::kLeft, bar.x + 300, bar.y);
  Pump();
  GetWindowRect(header, &hr);
  EXPECT_EQ(hr.left, lr.left - (450 - 200));
  EXPECT_EQ(g_parent.Count(NM_CLICK), 1);  // the bar is no row
  SetFocus(nullptr);
  DestroyWindow(list);
}

}  // namespace
