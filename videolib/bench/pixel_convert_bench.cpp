// The converters at 720x576 beside libswscale doing the same conversion, in megapixels per
// second ("Mpix/s" counter). libswscale reads no packed 4:1:1 input, so the Y41P converters are
// set beside its planar 4:1:1 input to the same outputs: the same bytes in and out per pixel.
extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "videolib/pixel_convert.h"

namespace {

constexpr int kW = 720, kH = 576;

std::vector<uint8_t> Noise(size_t n) {
  std::mt19937 rng(7);
  std::vector<uint8_t> b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

void Count(benchmark::State& state) {
  state.counters["Mpix/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kW * kH / 1e6, benchmark::Counter::kIsRate);
}

template <void (*F)(const uint8_t*, uint8_t*, int, int)>
void Ours(benchmark::State& state, size_t in_bytes, size_t out_bytes) {
  const auto src = Noise(in_bytes);
  std::vector<uint8_t> dst(out_bytes);
  for (auto _ : state) {
    F(src.data(), dst.data(), kW, kH);
    benchmark::DoNotOptimize(dst.data());
  }
  Count(state);
}

struct Plane {
  int offset, stride;
};

void Swscale(benchmark::State& state, AVPixelFormat from, AVPixelFormat to, std::vector<Plane> in,
             std::vector<Plane> out, size_t in_bytes, size_t out_bytes) {
  SwsContext* ctx = sws_getContext(kW, kH, from, kW, kH, to, SWS_POINT, nullptr, nullptr, nullptr);
  if (ctx == nullptr) return state.SkipWithError("libswscale cannot do this conversion");
  const auto src = Noise(in_bytes);
  std::vector<uint8_t> dst(out_bytes);
  const uint8_t* sp[4] = {};
  int ss[4] = {};
  uint8_t* dp[4] = {};
  int ds[4] = {};
  for (size_t i = 0; i < in.size(); ++i) sp[i] = src.data() + in[i].offset, ss[i] = in[i].stride;
  for (size_t i = 0; i < out.size(); ++i) dp[i] = dst.data() + out[i].offset, ds[i] = out[i].stride;
  for (auto _ : state) {
    sws_scale(ctx, sp, ss, 0, kH, dp, ds);
    benchmark::DoNotOptimize(dst.data());
  }
  sws_freeContext(ctx);
  Count(state);
}

constexpr size_t kN = static_cast<size_t>(kW) * kH;
const std::vector<Plane> kPlanar = {{0, kW}, {kW * kH, kW / 2}, {kW * kH * 5 / 4, kW / 2}};
const std::vector<Plane> kPlanar411 = {{0, kW}, {kW * kH, kW / 4}, {kW * kH * 5 / 4, kW / 4}};

void BM_Yuv420pToYuy2(benchmark::State& s) { Ours<pixel::Yuv420pToYuy2>(s, kN * 3 / 2, kN * 2); }
void BM_Yuv420pToYuy2_swscale(benchmark::State& s) {
  Swscale(s, AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUYV422, kPlanar, {{0, kW * 2}}, kN * 3 / 2, kN * 2);
}
void BM_Yuy2ToBgr24(benchmark::State& s) { Ours<pixel::Yuy2ToBgr24>(s, kN * 2, kN * 3); }
void BM_Yuy2ToBgr24_swscale(benchmark::State& s) {
  Swscale(s, AV_PIX_FMT_YUYV422, AV_PIX_FMT_BGR24, {{0, kW * 2}}, {{0, kW * 3}}, kN * 2, kN * 3);
}
void BM_Y41PToYuy2(benchmark::State& s) { Ours<pixel::Y41PToYuy2>(s, kN * 3 / 2, kN * 2); }
void BM_Y41PToYuy2_swscale(benchmark::State& s) {
  Swscale(s, AV_PIX_FMT_YUV411P, AV_PIX_FMT_YUYV422, kPlanar411, {{0, kW * 2}}, kN * 3 / 2, kN * 2);
}
void BM_Y41PToYuv420p(benchmark::State& s) {
  Ours<pixel::Y41PToYuv420p>(s, kN * 3 / 2, kN * 3 / 2);
}
void BM_Y41PToYuv420p_swscale(benchmark::State& s) {
  Swscale(s, AV_PIX_FMT_YUV411P, AV_PIX_FMT_YUV420P, kPlanar411, kPlanar, kN * 3 / 2, kN * 3 / 2);
}

BENCHMARK(BM_Yuv420pToYuy2);
BENCHMARK(BM_Yuv420pToYuy2_swscale);
BENCHMARK(BM_Yuy2ToBgr24);
BENCHMARK(BM_Yuy2ToBgr24_swscale);
BENCHMARK(BM_Y41PToYuy2);
BENCHMARK(BM_Y41PToYuy2_swscale);
BENCHMARK(BM_Y41PToYuv420p);
BENCHMARK(BM_Y41PToYuv420p_swscale);

}  // namespace

BENCHMARK_MAIN();
