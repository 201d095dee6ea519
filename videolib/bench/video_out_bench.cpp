// One DrawDib presentation of a 720 x 576 YUY2 picture (conversion to BGR, row flip, stretch
// into the window) into a CIF-sized window and into a 1280 x 720 one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/ui.h"
#include "videolib/pixel_convert.h"
#include "videolib/video_out.h"
#include "videolib/video_wnd.h"

namespace {

struct Stage {
  std::unique_ptr<platform::display::Display> display;
  CVideoOut out;
  HWND parent = nullptr;
};

Stage& TheStage() {
  static Stage* stage = [] {
    auto* s = new Stage;
    std::string error;
    s->display = platform::display::Display::CreateHeadless(1300, 740, &error);
    if (!s->display) {
      std::fprintf(stderr, "no display: %s\n", error.c_str());
      std::abort();
    }
    platform::gdi::InstallDcProvider();
    s->parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 1300, 740, nullptr,
                                nullptr, nullptr, nullptr);
    s->out.InitDrawDib();
    return s;
  }();
  return *stage;
}

std::vector<BYTE> TestPicture() {
  std::vector<BYTE> p(720 * 576 * 2);
  for (int y = 0; y < 576; ++y) {
    for (int x = 0; x < 720; x += 2) {
      BYTE* q = &p[(static_cast<size_t>(y) * 720 + x) * 2];
      q[0] = static_cast<BYTE>(16 + (x + y) % 220);
      q[1] = static_cast<BYTE>(x / 3);
      q[2] = static_cast<BYTE>(16 + (x + y + 1) % 220);
      q[3] = static_cast<BYTE>(y / 3);
    }
  }
  return p;
}

void BM_DrawDibPresentation(benchmark::State& state) {
  Stage& stage = TheStage();
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  CVideoWnd video;
  video.CreateWnd(RECT{0, 0, w + 2, h + 2}, stage.parent, 1);  // the border around the client
  std::vector<BYTE> picture = TestPicture();
  for (auto _ : state) {
    int r = stage.out.DrawDibYuy2(picture.data(), video.m_hWnd, nullptr, 0, 0, 0, 720, 576);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("720x576 -> " + std::to_string(w) + "x" + std::to_string(h));
}
BENCHMARK(BM_DrawDibPresentation)
    ->Args({352, 288})
    ->Args({1280, 720})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A decoded D1 picture (planar 4:2:0, 704 x 576) as a channel presents it without a surface,
// into a CIF cell of the grid.
void BM_D1PlanarIntoCifCell(benchmark::State& state) {
  Stage& stage = TheStage();
  constexpr int kW = 704, kH = 576;
  CVideoWnd video;
  video.CreateWnd(RECT{0, 0, 352 + 2, 288 + 2}, stage.parent, 1);
  std::vector<BYTE> planar(kW * kH * 3 / 2), yuy2(kW * kH * 2);
  for (size_t i = 0; i < planar.size(); ++i) planar[i] = static_cast<BYTE>(i * 7 + (i >> 10));
  for (auto _ : state) {
    pixel::Yuv420pToYuy2(planar.data(), yuy2.data(), kW, kH);
    int r = stage.out.DrawDibYuy2(yuy2.data(), video.m_hWnd, nullptr, 0, 1, 0, kW, kH);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_D1PlanarIntoCifCell)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A planar picture of `pw` x `ph` drawn through the DrawDib path into a window of the state's
// size (its width and height, `title` more pixels above for a title strip).
void DrawPlanarInto(benchmark::State& state, int pw, int ph, int title) {
  Stage& stage = TheStage();
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  CVideoWnd video;
  video.CreateWnd(RECT{0, 0, w + 2, h + title + 2}, stage.parent, 1);
  std::vector<BYTE> planar(static_cast<size_t>(pw) * ph * 3 / 2);
  for (size_t i = 0; i < planar.size(); ++i) planar[i] = static_cast<BYTE>(i * 7 + (i >> 10));
  const BYTE* u = planar.data() + pw * ph;
  const BYTE* v = u + pw * ph / 4;
  for (auto _ : state) {
    int r = stage.out.DrawDibPlanar(planar.data(), u, v, video.m_hWnd, nullptr, 0, 1, 0, pw, ph);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(pw) + "x" + std::to_string(ph) + " -> " + std::to_string(w) + "x" +
                 std::to_string(h));
}

// The same picture as the channel now gives it: the planes straight to the DrawDib path, at
// the cell's size (CIF), at its own (D1) and enlarged.
void BM_D1PlanarDirect(benchmark::State& state) { DrawPlanarInto(state, 704, 576, 0); }
BENCHMARK(BM_D1PlanarDirect)
    ->Args({352, 288})
    ->Args({704, 596})
    ->Args({1280, 720})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// A 720 x 576 decoded picture into the windows the viewer gives it: on a 800 x 600 screen a
// cell of the four-channel grid (342 x 260 under its title) and the enlarged view (694 x 548);
// in its own 874 x 576 window a cell of the four- and of the eight-channel grid and the
// enlarged view.
void BM_D1PlanarIntoViewerWindows(benchmark::State& state) { DrawPlanarInto(state, 720, 576, 20); }
BENCHMARK(BM_D1PlanarIntoViewerWindows)
    ->Args({342, 260})
    ->Args({694, 548})
    ->Args({433, 264})
    ->Args({214, 122})
    ->Args({870, 530})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
