// Framing speed for a typical LIVE_MEDIA_REQ: build + stuff, and extract + parse.

#include <benchmark/benchmark.h>

#include <memory>

#include "signaling/frame_codec.h"
#include "signaling/vq_builders.h"

namespace {

std::unique_ptr<vq_msg> typical_request() {
  vq_msg* msg = vq_msg_live_video("CONTROL_TO_TERMINAL", "0001-00A1-7788", 3, 1, "client-42",
                                  "terminal-7", "192.168.10.20", 9000, 1234567u, 7654321u);
  std::unique_ptr<vq_msg> copy = std::make_unique<vq_msg>(*msg);
  vq_msg_release(msg);
  return copy;
}

void BM_BuildAndStuff(benchmark::State& state) {
  auto msg = typical_request();
  auto frame = std::make_unique<sigbus::wire_frame>();
  std::uint32_t sequence = 0;
  for (auto _ : state) {
    sigbus::build_frame(*msg, sequence++, *frame);
    sigbus::stuff_frame(*frame);
    benchmark::DoNotOptimize(frame->stuffed_length);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildAndStuff);

void BM_ExtractAndParse(benchmark::State& state) {
  auto msg = typical_request();
  auto frame = std::make_unique<sigbus::wire_frame>();
  sigbus::build_frame(*msg, 0, *frame);
  sigbus::stuff_frame(*frame);
  sigbus::frame_assembler assembler;
  auto in = std::make_unique<sigbus::wire_frame>();
  for (auto _ : state) {
    sigbus::append_received(assembler, frame->stuffed, frame->stuffed_length);
    sigbus::extract_frame(assembler, *in);
    auto parsed = sigbus::parse_frame(*in);
    benchmark::DoNotOptimize(parsed.get());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExtractAndParse);

}  // namespace

BENCHMARK_MAIN();
