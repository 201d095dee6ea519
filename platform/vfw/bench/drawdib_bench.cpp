// One DrawDib of a 720 x 576 bottom-up BGR picture into a window of the desktop.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/display/display.h"
#include "platform/ui/ui.h"
#include "platform/vfw/drawdib.h"

namespace {

void BM_DrawDib(benchmark::State& state) {
  const int dst_w = static_cast<int>(state.range(0)), dst_h = static_cast<int>(state.range(1));
  std::string error;
  auto display = platform::display::Display::CreateHeadless(1920, 1080, &error);
  if (!display) {
    state.SkipWithError(error.c_str());
    return;
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "DrawDibBench";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "DrawDibBench", "", WS_POPUP | WS_VISIBLE, 0, 0, dst_w, dst_h,
                           nullptr, nullptr, nullptr, nullptr);
  BITMAPINFOHEADER h{40, 720, 576, 1, 24, BI_RGB, 720 * 576 * 3, 0, 0, 0, 0};
  std::vector<uint8_t> bits(720 * 576 * 3);
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>(i * 7);
  HDRAWDIB dd = DrawDibOpen();
  for (auto _ : state) {
    HDC dc = GetDC(w);
    DrawDibBegin(dd, dc, dst_w, dst_h, &h, 720, 576, DDF_SAME_HDC);
    DrawDibDraw(dd, dc, 0, 0, dst_w, dst_h, &h, bits.data(), 0, 0, 720, 576,
                DDF_SAME_HDC | DDF_SAME_DRAW);
    DrawDibEnd(dd);
    ReleaseDC(w, dc);
  }
  DrawDibClose(dd);
  DestroyWindow(w);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawDib)->Args({352, 288})->Args({1280, 720})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
