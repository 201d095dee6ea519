#include "device/widgets/widget_panel.h"

#include <cstdio>
#include <string>

#include "device/widgets/widget_art.h"
#include "device/widgets/widget_theme.h"
#include "platform/ui/commctrl.h"

namespace device::widgets {
namespace {

constexpr char kParentClass[] = "WidgetSampleParent";

void RegisterParentClass() {
  static const bool done = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kParentClass;
    return RegisterClassA(&wc) != 0;
  }();
  (void)done;
}

RECT At(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

// Where the PTZ buttons sit, by ID from 1015: the eight directions around "stop", then the
// focus, zoom and iris pairs.
constexpr POINT kPtzAt[15] = {{7, 6},    {43, 6},   {79, 6},   {7, 42},   {43, 42},
                              {79, 42},  {7, 78},   {43, 78},  {79, 78},  {43, 118},
                              {79, 118}, {43, 152}, {79, 152}, {43, 186}, {79, 186}};

constexpr const char* kTips[15] = {"left top",
                                   "up",
                                   "right top",
                                   "left",
                                   "stop",
                                   "right",
                                   "left bottom",
                                   "down",
                                   "right bottom",
                                   "zoom out",
                                   "zoom in",
                                   "Tele-converter up",
                                   "Tele-converter down",
                                   "light open",
                                   "light close"};

struct TextButton {
  int id;
  const char* caption;
};
constexpr TextButton kTexts[6] = {{1001, "ptz config"},    {1004, "record search"},
                                  {188, "refresh code"},   {1008, "image adjust"},
                                  {1006, "start preview"}, {1009, "capture dir..."}};

}  // namespace

SampleParent::~SampleParent() {
  HWND window = m_hWnd;
  UnsubclassWindow();
  if (window != nullptr && IsWindow(window)) ::DestroyWindow(window);
  DeleteObject(brush_);
}

bool SampleParent::CreateTop(int x, int y, int width, int height) {
  RegisterParentClass();
  brush_ = CreateSolidBrush(kDialogBackground);
  HWND window = CreateWindowExA(0, kParentClass, "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y,
                                width, height, nullptr, nullptr, nullptr, nullptr);
  return window != nullptr && SubclassWindow(window);
}

std::vector<WidgetEvent> SampleParent::Events(UINT message) const {
  std::vector<WidgetEvent> out;
  for (const WidgetEvent& e : events) {
    if (e.message == message) out.push_back(e);
  }
  return out;
}

LRESULT SampleParent::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(&client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, brush_);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      FillRect(dc, &ps.rcPaint, brush_);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<LRESULT>(brush_);
    case kMsgPtzPress:
    case kMsgPtzRelease:
    case kMsgSliderMoving:
    case kMsgSliderReleased:
    case WM_COMMAND:
      events.push_back(WidgetEvent{message, wparam, lparam});
      break;
    case WM_NOTIFY:
      // Kept as the code and the sender's ID.
      events.push_back(WidgetEvent{message, reinterpret_cast<const NMHDR*>(lparam)->code,
                                   static_cast<LPARAM>(wparam)});
      break;
    default:
      break;
  }
  return CWnd::WindowProc(message, wparam, lparam);
}

SamplePanel::~SamplePanel() {
  DeleteObject(font_);
  DeleteObject(small_font_);
}

bool SamplePanel::Create(int x, int y) {
  if (!CreateTop(x, y, kWidth, kHeight)) return false;
  font_ = CreateArialFont(14);
  small_font_ = CreateArialFont(12);
  bool ok = true;
  for (int i = 0; i < 15; ++i) {
    const PtzBitmaps& b = kPtzButtonBitmaps[i];
    ok &= ptz[i].Create("", WS_VISIBLE, At(kPtzAt[i].x, kPtzAt[i].y, 30, 30), m_hWnd, 1015 + i) &&
          ptz[i].LoadBitmaps(b.normal, b.hover, b.pressed, b.pressed);
    ptz[i].SetShape(kTransparentKey);
    ptz[i].SetTooltipText(kTips[i]);
  }
  const char* pairs[3] = {"focus", "zoom", "iris"};
  for (int i = 0; i < 3; ++i) {
    ok &= row_labels[i].Create(pairs[i], WS_VISIBLE, At(4, 125 + i * 34, 38, 16), m_hWnd, 0);
    row_labels[i].SetFont(font_);
    row_labels[i].SetTextColor(kLabelText);
    row_labels[i].SetTransparent(true);
  }
  const char* preset_captions[3] = {"invoke", "set", "delete"};
  for (int i = 0; i < 3; ++i) {
    ok &= presets[i].Create("", WS_VISIBLE, At(8 + i * 52, 224, 44, 22), m_hWnd, 180 + i) &&
          presets[i].LoadBitmaps(1283, 1284, 1285, 1285);
    presets[i].SetFont(small_font_);
    presets[i].SetCaption(preset_captions[i]);
  }
  for (int i = 0; i < 6; ++i) {
    ok &= text_buttons[i].Create("", WS_VISIBLE, At(10, 254 + i * 30, 96, 24), m_hWnd,
                                 kTexts[i].id) &&
          text_buttons[i].LoadBitmaps(316, 317, 318, 318);
    text_buttons[i].SetFont(font_);
    text_buttons[i].SetCaption(kTexts[i].caption);
  }
  ok &= relays[0].Create("", WS_VISIBLE, At(14, 438, 36, 24), m_hWnd, 246) &&
        relays[0].LoadBitmaps(320) && relays[0].LoadAlternateBitmaps(319);
  ok &= relays[1].Create("", WS_VISIBLE, At(66, 438, 36, 24), m_hWnd, 203) &&
        relays[1].LoadBitmaps(322) && relays[1].LoadAlternateBitmaps(321);
  relays[0].SetTooltipText("up");
  relays[1].SetTooltipText("down");
  relays[1].SetUseAlternate(true);  // output 1 on, output 2 off
  ok &= check.Create("all", WS_VISIBLE | WS_TABSTOP, At(8, 470, 100, 18), m_hWnd, kCheckId);
  check.SetFont(font_);
  check.SetCheck(true);
  ok &= label.Create("luminance", WS_VISIBLE, At(8, 492, 70, 16), m_hWnd, 206);
  label.SetFont(font_);
  label.SetTextColor(kLabelText);
  label.SetTransparent(true);
  ok &= value.Create("50", WS_VISIBLE | SS_RIGHT, At(80, 492, 30, 16), m_hWnd, 1060);
  value.SetFont(font_);
  value.SetTextColor(RGB(0, 190, 255));
  value.SetTransparent(true);
  ok &= slider.Create("", WS_VISIBLE | WS_TABSTOP, At(6, 512, 105, 22), m_hWnd, kSliderId);
  slider.SetBitmapChannel(1289);
  slider.SetBitmapThumb(1290);
  slider.SetMargin(2, 2);
  slider.SetRange(0, 100);
  slider.SetPos(50);
  Invalidate(TRUE);
  return ok;
}

bool SampleList::Create(int x, int y, int width, int height, int rows) {
  InitCommonControls();
  if (!CreateTop(x, y, width, height)) return false;
  HWND window = CreateWindowExA(
      0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, 8, 8, width - 16,
      height - 16, m_hWnd, reinterpret_cast<HMENU>(static_cast<intptr_t>(1282)), nullptr, nullptr);
  if (window == nullptr || !list.Attach(window)) return false;
  SendMessageA(window, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, LVS_EX_GRIDLINES);
  list.SetBkColor(kListBackground);
  list.SetFontHeight(kListFontHeight);
  list.SetRowHeight(20);
  list.Header().SetBkColor(kDialogBackground);
  list.Header().SetTextColor(kLabelText);
  list.Header().SetFontHeight(kHeaderFontHeight);
  const struct {
    const char* title;
    int width;
  } columns[] = {{"NO", 40},       {"Channel", 60},    {"Record Type", 82}, {"StartTime", 152},
                 {"EndTime", 152}, {"USB Export", 76}, {"Download", 75}};
  for (int c = 0; c < 7; ++c)
    list.InsertColumn(c, columns[c].title, columns[c].width, LVCFMT_CENTER);
  const char* types[4] = {"normal record", "move detect", "alarm record", "manual record"};
  for (int r = 0; r < rows; ++r) {
    char text[64];
    std::snprintf(text, sizeof text, "%05d", r + 1);
    int row = list.InsertItem(r, text, 7000 + r);
    std::snprintf(text, sizeof text, "channel%d", r % 8 + 1);
    list.SetItemText(row, 1, text);
    list.SetItemText(row, 2, types[r % 4]);
    std::snprintf(text, sizeof text, "2026-12-09 %02d:00:00", r % 24);
    list.SetItemText(row, 3, text);
    std::snprintf(text, sizeof text, "2026-12-09 %02d:59:59", r % 24);
    list.SetItemText(row, 4, text);
    list.SetItemText(row, 5, r == 1 ? "40%" : r == 2 ? "Complete" : "");
    list.SetItemText(row, 6, r == 0 ? "Downloading" : r == 3 ? "have download" : "");
  }
  return true;
}

}  // namespace device::widgets
