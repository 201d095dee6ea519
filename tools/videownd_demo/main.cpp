// videownd_demo: shows a test pattern in a video window with its title strip and option
// buttons, and writes what the desktop shows to a PNG file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/ui.h"
#include "tools/videownd_demo/test_pattern.h"
#include "videolib/video_out.h"
#include "videolib/video_wnd.h"

namespace {

struct Options {
  std::string out = "videownd_demo.png";
  std::string backend = "headless";
  std::string title = "CH1 \xCD\xA8\xB5\xC0 1";  // "通道 1" in GBK
  int width = 352;
  int height = 288;
  int seconds = 0;
};

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: videownd_demo [options]\n"
               "Shows a 720x576 colour-bar picture in a video window with its title strip,\n"
               "option buttons and focus frame, and writes a screenshot of the desktop.\n"
               "  --out FILE        PNG file to write (default videownd_demo.png)\n"
               "  --size WxH        client size of the video window (default 352x288)\n"
               "  --title TEXT      title strip text (GBK bytes; default a channel name)\n"
               "  --display NAME    headless (default), x11 or auto\n"
               "  --show SECONDS    keep the window up this long before the screenshot\n"
               "  --help            this text\n");
}

// Returns 0 to go on, or the exit code.
int Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      return -1;
    } else if (a == "--out" && (v = value())) {
      o->out = v;
    } else if (a == "--title" && (v = value())) {
      o->title = v;
    } else if (a == "--display" && (v = value())) {
      o->backend = v;
    } else if (a == "--show" && (v = value())) {
      o->seconds = std::atoi(v);
    } else if (a == "--size" && (v = value()) &&
               std::sscanf(v, "%dx%d", &o->width, &o->height) == 2 && o->width >= 60 &&
               o->height >= 40 && o->width <= 1900 && o->height <= 1000) {
    } else {
      std::fprintf(stderr, "videownd_demo: bad or incomplete option '%s'\n", a.c_str());
      Usage(stderr);
      return 2;
    }
  }
  return 0;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

int Run(const Options& o) {
  platform::display::DisplayOptions d;
  d.backend = o.backend;
  d.width = o.width + 40;
  d.height = o.height + 40;
  d.title = "videownd_demo";
  std::string error;
  auto display = platform::display::Display::Create(d, &error);
  if (!display) {
    std::fprintf(stderr, "videownd_demo: no display: %s\n", error.c_str());
    return 1;
  }
  platform::gdi::InstallDcProvider();
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, d.width, d.height,
                                nullptr, nullptr, nullptr, nullptr);
  CVideoWnd video;
  video.Init(nullptr, 0);
  // The window's outer size: the client area plus its border.
  if (!video.CreateWnd(RECT{18, 18, 22 + o.width, 22 + o.height}, parent, 0)) {
    std::fprintf(stderr, "videownd_demo: cannot create the video window\n");
    return 1;
  }
  video.EnableTitle(1);
  video.UpdateTitle(o.title.c_str());
  video.CreateOptionBtn();
  Pump();
  video.SetWindowFocus();
  CVideoOut out;
  if (out.InitDrawDib() != 1) {
    std::fprintf(stderr, "videownd_demo: DrawDib cannot be opened\n");
    return 1;
  }
  std::vector<uint8_t> picture = videownd_demo::ColourBars(720, 576);
  out.DrawDibYuy2(picture.data(), video.m_hWnd, nullptr, 0, 1, 1, 720, 576);
  display->Present();
  for (int i = 0; i < o.seconds * 20 && !display->CloseRequested(); ++i) {
    Pump();
    out.DrawDibYuy2(picture.data(), video.m_hWnd, nullptr, 0, 1, 1, 720, 576);
    Sleep(50);
  }
  if (!display->Screenshot(o.out, &error)) {
    std::fprintf(stderr, "videownd_demo: %s\n", error.c_str());
    return 1;
  }
  std::printf("wrote %s (%dx%d desktop, video window %dx%d)\n", o.out.c_str(), d.width, d.height,
              o.width, o.height);
  DestroyWindow(parent);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int r = Parse(argc, argv, &o);
  if (r != 0) return r < 0 ? 0 : r;
  return Run(o);
}
