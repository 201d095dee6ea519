// Repainting the 117 x 540 control panel made of the owner-drawn widgets (target: under 5 ms),
// and the download list of 20 owner-drawn rows beside it.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "device/widgets/widget_panel.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"

namespace {

using device::widgets::SampleList;
using device::widgets::SamplePanel;

std::unique_ptr<platform::display::Display> MakeDisplay(benchmark::State& state) {
  std::string error;
  auto display = platform::display::Display::CreateHeadless(800, 600, &error);
  if (!display) state.SkipWithError(error.c_str());
  platform::gdi::InstallDcProvider();
  return display;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// The whole panel and every widget on it invalidated and painted again.
void BM_RepaintPanel(benchmark::State& state) {
  auto display = MakeDisplay(state);
  if (!display) return;
  SamplePanel panel;
  if (!panel.Create(0, 0)) {
    state.SkipWithError("panel");
    return;
  }
  Pump();
  for (auto _ : state) {
    RedrawWindow(panel.m_hWnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  state.SetLabel("117 x 540, 33 widgets");
}
BENCHMARK(BM_RepaintPanel)->Unit(benchmark::kMillisecond);

void BM_RepaintList(benchmark::State& state) {
  auto display = MakeDisplay(state);
  if (!display) return;
  SampleList sample;
  if (!sample.Create(0, 0, 660, 460, 20)) {
    state.SkipWithError("list");
    return;
  }
  Pump();
  for (auto _ : state) {
    RedrawWindow(sample.m_hWnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  state.SetLabel("7 columns, 20 rows");
}
BENCHMARK(BM_RepaintList)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
