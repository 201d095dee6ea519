// The GDI presentation of one picture as the renderer does it: YUY2 to BGR24, rows flipped
// bottom-up, DrawDib stretched into a window on the desktop.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/display/display.h"
#include "platform/ui/ui.h"
#include "platform/vfw/drawdib.h"
#include "videolib/pixel_convert.h"

namespace {

constexpr int kW = 720;
constexpr int kH = 576;

void BM_DrawDibPresent(benchmark::State& state) {
  const int dst_w = static_cast<int>(state.range(0)), dst_h = static_cast<int>(state.range(1));
  std::string error;
  auto display = platform::display::Display::CreateHeadless(1920, 1080, &error);
  if (!display) {
    state.SkipWithError(error.c_str());
    return;
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "PresentBench";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "PresentBench", "", WS_POPUP | WS_VISIBLE, 0, 0, dst_w, dst_h,
                           nullptr, nullptr, nullptr, nullptr);
  std::vector<uint8_t> yuy2(kW * kH * 2), bgr(kW * kH * 3), flipped(kW * kH * 3);
  for (size_t i = 0; i < yuy2.size(); ++i) yuy2[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
  BITMAPINFOHEADER h{40, kW, kH, 1, 24, BI_RGB, kW * kH * 3, 0, 0, 0, 0};
  HDRAWDIB dd = DrawDibOpen();
  for (auto _ : state) {
    HDC dc = GetDC(w);
    pixel::Yuy2ToBgr24(yuy2.data(), bgr.data(), kW, kH);
    pixel::FlipRows(bgr.data(), flipped.data(), kW * 3, kH);
    DrawDibBegin(dd, dc, dst_w, dst_h, &h, kW, kH, DDF_SAME_HDC);
    DrawDibDraw(dd, dc, 0, 0, dst_w, dst_h, &h, flipped.data(), 0, 0, kW, kH,
                DDF_SAME_HDC | DDF_SAME_DRAW);
    DrawDibEnd(dd);
    ReleaseDC(w, dc);
  }
  DrawDibClose(dd);
  DestroyWindow(w);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawDibPresent)->Args({352, 288})->Args({1280, 720})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
