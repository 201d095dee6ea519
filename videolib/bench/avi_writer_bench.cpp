// AVI recording speed: 720x576 YUY2 pictures through CAviWriter beside plain fwrite of the
// same bytes to a file, in MB/s of picture data. Files are started afresh every 400 pictures
// (330 MB) so that a long run does not fill the disk. A second pair of runs writes small
// pictures into files of 1,000 and 32,000 samples: pictures per second stay flat as the index
// grows.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "videolib/avi_writer.h"

namespace {

constexpr int kW = 720, kH = 576;
constexpr long kFrame = kW * kH * 2;
constexpr int kPerFile = 400;

std::string BenchPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void ReportRate(benchmark::State& state, long bytes_per_item) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes_per_item);
}

void BM_AviWriterYuy2(benchmark::State& state) {
  const std::string path = BenchPath("orvix_bench_rec.avi");
  std::vector<uint8_t> picture(kFrame, 0x80);
  CAviWriter::tagVideoStreamInfo video{kW, kH, 25, mmioFOURCC('Y', 'U', 'Y', '2')};
  CAviWriter writer;
  int in_file = 0;
  writer.Open(path.c_str(), &video, nullptr);
  int64_t t = 0;
  for (auto _ : state) {
    if (in_file == kPerFile) {
      writer.Close();
      writer.Open(path.c_str(), &video, nullptr);
      in_file = 0;
    }
    if (writer.WriteVideo(picture.data(), kFrame, t, 40) != kFrame) state.SkipWithError("write");
    t += 400000;
    ++in_file;
  }
  writer.Close();
  std::filesystem::remove(path);
  ReportRate(state, kFrame);
}
BENCHMARK(BM_AviWriterYuy2)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_RawFwriteYuy2(benchmark::State& state) {
  const std::string path = BenchPath("orvix_bench_raw.yuv");
  std::vector<uint8_t> picture(kFrame, 0x80);
  FILE* f = std::fopen(path.c_str(), "wb");
  int in_file = 0;
  for (auto _ : state) {
    if (in_file == kPerFile) {
      std::fclose(f);
      f = std::fopen(path.c_str(), "wb");
      in_file = 0;
    }
    if (std::fwrite(picture.data(), 1, kFrame, f) != static_cast<size_t>(kFrame))
      state.SkipWithError("fwrite");
    ++in_file;
  }
  std::fclose(f);
  std::filesystem::remove(path);
  ReportRate(state, kFrame);
}
BENCHMARK(BM_RawFwriteYuy2)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// Small pictures, `state.range(0)` samples per file: the per-picture cost of a long file.
void BM_AviWriterLongFile(benchmark::State& state) {
  const std::string path = BenchPath("orvix_bench_long.avi");
  constexpr long kSmall = 64 * 48 * 2;
  std::vector<uint8_t> picture(kSmall, 0x10);
  CAviWriter::tagVideoStreamInfo video{64, 48, 25, mmioFOURCC('Y', 'U', 'Y', '2')};
  const int per_file = static_cast<int>(state.range(0));
  for (auto _ : state) {
    CAviWriter writer;
    writer.Open(path.c_str(), &video, nullptr);
    for (int i = 0; i < per_file; ++i) writer.WriteVideo(picture.data(), kSmall, 0, 40);
    writer.Close();
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * per_file);
}
BENCHMARK(BM_AviWriterLongFile)
    ->Arg(1000)
    ->Arg(32000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
