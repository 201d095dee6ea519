// widget_gallery: draws the widgets as the dialogs use them on a headless desktop and saves
// a screenshot; optionally writes every bitmap of the artwork as a BMP file.
#include <cstdio>
#include <cstring>
#include <string>

#include "device/widgets/widget_art.h"
#include "device/widgets/widget_panel.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
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
  if (!panel.Create(10, 10) || !list.Create(140, 10, 610, 300, 12)) {
    std::fprintf(stderr, "widget_gallery: the sample windows could not be made\n");
    return 1;
  }
  // One row selected, one button disabled and the cursor resting on "up", to show the states.
  LVITEMA state{};
  state.state = state.stateMask = LVIS_SELECTED;
  list.list.SendMessage(LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
  panel.text_buttons[5].EnableWindow(FALSE);
  Pump();
  display->input().MoveTo(10 + 43 + 15, 10 + 6 + 15);
  Pump();
  if (!display->Screenshot(out, &error)) {
    std::fprintf(stderr, "widget_gallery: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", out.c_str());
  return 0;
}
