// widget_gallery: draws the widgets as the dialogs use them on a headless desktop and saves
// a screenshot; optionally writes every bitmap of the artwork as a BMP file.
#include <cstdio>
#include <cstring>
#include <string>

#include "device/widgets/widget_art.h"
#include "device/widgets/widget_panel.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/commctrl.h"

namespace {

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: widget_gallery [--out FILE.png] [--bitmaps DIR]\n"
               "  --out FILE.png   screenshot of the sample panel, list and slider (default\n"
               "                   widgets.png)\n"
               "  --bitmaps DIR    also write each bitmap of the artwork as DIR/<number>.bmp\n");
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string out = "widgets.png";
  std::string bitmaps;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      Usage(stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--out") && i + 1 < argc) {
      out = argv[++i];
    } else if (!std::strcmp(argv[i], "--bitmaps") && i + 1 < argc) {
      bitmaps = argv[++i];
    } else {
      std::fprintf(stderr, "widget_gallery: unknown or incomplete option '%s'\n", argv[i]);
      Usage(stderr);
      return 2;
    }
  }
  std::string error;
  for (UINT id : bitmaps.empty() ? std::vector<UINT>{} : device::widgets::WidgetBitmapIds()) {
    std::string path = bitmaps + "/" + std::to_string(id) + ".bmp";
    if (!device::widgets::SaveWidgetBitmap(id, path, &error)) {
      std::fprintf(stderr, "widget_gallery: %s\n", error.c_str());
      return 1;
    }
  }
  auto display = platform::display::Display::CreateHeadless(760, 560, &error);
  if (!display) {
    std::fprintf(stderr, "widget_gallery: %s\n", error.c_str());
    return 1;
  }
  platform::gdi::InstallDcProvider();
  device::widgets::SamplePanel panel;
  device::widgets::SampleList list;
  if (!panel.Create(10, 10) || !list.Create(190, 10, 560, 300, 12)) {
    std::fprintf(stderr, "widget_gallery: the sample windows could not be made\n");
    return 1;
  }
  // The common controls in their own look, below the list.
  device::widgets::SampleParent controls;
  if (!controls.CreateTop(190, 320, 560, 230)) return 1;
  HWND plain = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 8, 8, 330,
                               130, controls.m_hWnd, nullptr, nullptr, nullptr);
  SendMessageA(plain, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const char* titles[2] = {"Path", "Download progress"};
  for (int c = 0; c < 2; ++c) {
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.pszText = const_cast<char*>(titles[c]);
    col.cx = c == 0 ? 200 : 120;
    col.fmt = c == 0 ? LVCFMT_LEFT : LVCFMT_CENTER;
    SendMessageA(plain, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
  }
  for (int r = 0; r < 9; ++r) {
    std::string path = "D:/rec/ch" + std::to_string(r + 1) + ".avi";
    std::string progress = r == 0 ? "100%" : r == 2 ? "Failed" : std::to_string(r * 11) + "%";
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = r;
    item.pszText = path.data();
    SendMessageA(plain, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = progress.data();
    SendMessageA(plain, LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
  }
  LVITEMA selected{};
  selected.state = selected.stateMask = LVIS_SELECTED;
  SendMessageA(plain, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));
  HWND bar = CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS, 350, 8,
                             250, 34, controls.m_hWnd, nullptr, nullptr, nullptr);
  SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
  SendMessageA(bar, TBM_SETPOS, TRUE, 7);
  HWND start = CreateWindowExA(0, DATETIMEPICK_CLASSA, "", WS_CHILD | WS_VISIBLE | DTS_UPDOWN, 350,
                               56, 170, 24, controls.m_hWnd, nullptr, nullptr, nullptr);
  SendMessageA(start, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("yyyy-MM-dd HH:mm:ss"));
  SetWindowTextA(start, "2026-12-09 00:00:00");
  HWND end = CreateWindowExA(0, DATETIMEPICK_CLASSA, "", WS_CHILD | WS_VISIBLE, 350, 90, 170, 24,
                             controls.m_hWnd, nullptr, nullptr, nullptr);
  SendMessageA(end, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("yyyy-MM-dd HH:mm:ss"));
  SetWindowTextA(end, "2026-12-09 23:59:59");
  SetFocus(end);
  display->input().Key(VK_RIGHT);  // the month field is the one being edited

  // One row selected, one button disabled and the cursor resting on "up", to show the states.
  LVITEMA state{};
  state.state = state.stateMask = LVIS_SELECTED;
  list.list.SendMessage(LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
  panel.text_buttons[5].EnableWindow(FALSE);
  Pump();
  display->input().MoveTo(10 + 43 + 15, 10 + 6 + 15);
  Pump();
  // Rest on "up" long enough for its tooltip.
  SendMessageA(panel.ptz[1].tooltip(), TTM_SETDELAYTIME, TTDT_INITIAL, 50);
  display->input().MoveTo(10 + 43 + 16, 10 + 6 + 15);
  for (int i = 0; i < 150 && !IsWindowVisible(panel.ptz[1].tooltip()); ++i) {
    Sleep(10);
    Pump();
  }
  Pump();
  if (!display->Screenshot(out, &error)) {
    std::fprintf(stderr, "widget_gallery: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", out.c_str());
  return 0;
}
