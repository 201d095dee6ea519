// How fast the x11 backend pushes a whole 1280x720 desktop to the X server (to a private
// Xvfb unless DISPLAY names a server already).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/display/display.h"
#include "platform/display/xvfb_server.h"

namespace platform::display {
namespace {

void BM_X11PushFullDesktop(benchmark::State& state) {
  std::unique_ptr<XvfbServer> server;
  DisplayOptions options;
  options.backend = "x11";
  if (const char* env = std::getenv("DISPLAY"); env == nullptr || *env == '\0') {
    server = std::make_unique<XvfbServer>(1280, 720);
    if (!server->running()) {
      state.SkipWithError(server->error().c_str());
      return;
    }
    options.x11_display = server->name();
  }
  std::string error;
  auto display = Display::Create(options, &error);
  if (!display) {
    state.SkipWithError(error.c_str());
    return;
  }
  Framebuffer& fb = display->framebuffer();
  uint32_t shade = 0;
  for (auto _ : state) {
    {
      std::lock_guard<std::mutex> lock(fb.mutex());
      fb.Fill(RECT{0, 0, 1280, 720}, shade += 0x010101);
    }
    display->Present();
  }
  state.SetBytesProcessed(state.iterations() * 1280LL * 720 * 4);
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_X11PushFullDesktop)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace platform::display

BENCHMARK_MAIN();
