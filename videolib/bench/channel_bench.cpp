// The channel pipeline on a D1 stream: ring, decoding, conversion and presentation into a
// headless window, against FFmpeg decoding the same stream on one thread in the same run; and
// the memory one decoding channel adds.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/h264dec/test_clip.h"
#include "videolib/channel.h"
#include "videolib/channel_test_support.h"
#include "videolib/videownd_test_support.h"

namespace {

constexpr int kW = 720;
constexpr int kH = 576;
constexpr int kFrames = 250;  // ten seconds at 25 fps

const h264test::Clip& D1Clip() {
  static const h264test::Clip clip = h264test::MakeClip(kW, kH, kFrames, 50);
  return clip;
}

videownd_test::Desktop& TheDesktop() {
  static auto* desktop = new videownd_test::Desktop(800, 640);
  return *desktop;
}

// Frames per second of `ffmpeg -threads 1 -i clip.264 -f null -` on the clip.
double FfmpegFps() {
  std::string dir = channel_test::TempDir("bench");
  std::string path = dir + "/clip.264";
  {
    std::ofstream out(path, std::ios::binary);
    for (const auto& frame : D1Clip().frames) {
      for (const auto& nal : frame) {
        out.write(reinterpret_cast<const char*>(nal.data()), static_cast<std::streamsize>(nal.size()));
      }
    }
  }
  std::string command = "ffmpeg -v error -threads 1 -i '" + path + "' -f null -";
  auto start = std::chrono::steady_clock::now();
  int rc = std::system(command.c_str());
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::filesystem::remove_all(dir);
  return rc == 0 ? kFrames / seconds : 0;
}

void FeedAll(CChannel* channel) {
  for (const auto& frame : D1Clip().frames) {
    for (const auto& nal : frame) channel->PutOneFrame(nal.data(), static_cast<int>(nal.size()));
  }
}

void BM_ChannelPipelineD1(benchmark::State& state) {
  TheDesktop();
  CChannel::InitRender();
  videownd_test::ParentWindow parent(0, 0, 780, 620);
  auto channel = std::make_unique<channel_test::TestChannel>();
  channel_test::PlaceForPicture(channel.get(), parent.hwnd(), kW, kH);
  channel->Close();
  channel->Open(kW, kH, 0, 0, 0);
  D1Clip();
  double ffmpeg = 0;
  double seconds = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    // FFmpeg in the same run, interleaved, so that both see the same machine load.
    state.PauseTiming();
    ffmpeg += FfmpegFps();
    channel->m_nFrames = 0;
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    channel->StartDecode();
    std::thread producer([&] { FeedAll(channel.get()); });
    producer.join();
    channel->StopDecode(1);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    frames += channel->m_nFrames;
  }
  const double fps = frames / seconds;
  const double ffmpeg_fps = ffmpeg / static_cast<double>(state.iterations());
  state.counters["pipeline_fps"] = fps;
  state.counters["ffmpeg_fps"] = ffmpeg_fps;
  state.counters["ratio"] = ffmpeg_fps > 0 ? fps / ffmpeg_fps : 0;
  state.SetItemsProcessed(frames);
  channel.reset();
  CChannel::UninitRender();
}
BENCHMARK(BM_ChannelPipelineD1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 10, '\n');
  }
  return 0;
}

// Channels decoding D1 pictures at once: what each one adds to the resident memory.
void BM_MemoryPerChannel(benchmark::State& state) {
  TheDesktop();
  CChannel::InitRender();
  const int count = static_cast<int>(state.range(0));
  videownd_test::ParentWindow parent(0, 0, 780, 620);
  double per_channel_kib = 0;
  for (auto _ : state) {
    std::vector<std::unique_ptr<channel_test::TestChannel>> channels;
    const long before = ResidentKiB();
    for (int i = 0; i < count; ++i) {
      auto channel = std::make_unique<channel_test::TestChannel>();
      channel_test::PlaceForPicture(channel.get(), parent.hwnd(), kW, kH);
      channel->Close();
      channel->Open(352, 288, 0, 0, 0);  // as the controls do; the first picture resizes
      channel->StartDecode();
      channels.push_back(std::move(channel));
    }
    for (auto& channel : channels) {
      for (int f = 0; f < 30; ++f) {
        for (const auto& nal : D1Clip().frames[static_cast<size_t>(f)]) {
          channel->PutOneFrame(nal.data(), static_cast<int>(nal.size()));
        }
      }
    }
    channel_test::WaitFor(
        [&] {
          for (auto& channel : channels) {
            if (channel->m_nFrames < 30) return false;
          }
          return true;
        },
        20000);
    per_channel_kib = static_cast<double>(ResidentKiB() - before) / count;
    for (auto& channel : channels) channel->StopDecode(0);
  }
  state.counters["KiB_per_channel"] = per_channel_kib;
  CChannel::UninitRender();
}
BENCHMARK(BM_MemoryPerChannel)->Arg(4)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
