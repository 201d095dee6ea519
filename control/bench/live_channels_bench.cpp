// Live D1 channels from the DVR simulator (a separate process): the stream client's sessions
// feeding channels that decode and present into a headless desktop, 1 to 8 at once. Reports
// this process's processor time per second of wall time (the simulator's is not counted),
// frames shown and frames missing per channel against the 25 frames/s sent, and the resident
// memory each added channel costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control/session_run.h"
#include "platform/process/child_process.h"
#include "platform/process/resource_usage.h"
#include "stream/rtsp_session.h"
#include "stream/video_playout.h"
#include "videolib/channel.h"
#include "videolib/channel_test_support.h"
#include "videolib/videownd_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace proc = platform::process;

constexpr int kFps = 25;
constexpr double kWarmupSeconds = 2.5;  // playout delay, first key frame, resize
constexpr double kMeasureSeconds = 8.0;

videownd_test::Desktop& TheDesktop() {
  static auto* desktop = new videownd_test::Desktop(1024, 768);
  return *desktop;
}

// The simulator, started once: eight D1 channels of its busy scene, camera-like content.
int SimulatorPort() {
  static std::unique_ptr<proc::ChildProcess> child;
  static int port = 0;
  if (child != nullptr) return port;
  std::string error;
  child = proc::ChildProcess::Spawn(
      DVRSIM_PATH, {"--port", "0", "--size", "d1", "--channels", "8", "--scene", "busy"}, &error);
  if (child == nullptr) return 0;
  std::string line;
  const std::string ready = "dvrsim ready on port ";
  while (child->ReadLine(&line, 20000)) {
    if (line.rfind(ready, 0) == 0) {
      port = std::stoi(line.substr(ready.size()));
      break;
    }
  }
  return port;
}

struct Live {
  std::unique_ptr<channel_test::TestChannel> channel;
  std::unique_ptr<RtspSession> session;
};

// A 3 x 3 grid of tiles on the desktop, as the viewer shows up to nine channels.
RECT Tile(int index) {
  const int w = 1024 / 3;
  const int h = 768 / 3;
  const int x = (index % 3) * w;
  const int y = (index / 3) * h;
  return RECT{x, y, x + w, y + h};
}

Live StartChannel(HWND parent, int index, int port, const RtspSessionOptions& options = {}) {
  Live live;
  live.channel = std::make_unique<channel_test::TestChannel>();
  live.channel->CreateWnd(Tile(index), parent, static_cast<UINT>(index + 1));
  live.channel->Close();
  live.channel->Open(352, 288, 0, 0, 0);  // as the controls do; the first picture resizes
  live.channel->StartDecode();
  live.session = std::make_unique<RtspSession>(options);
  live.session->channel = live.channel.get();
  live.session->channelNumber = index + 1;
  const std::string url =
      "rtsp://127.0.0.1:" + std::to_string(port) + "/" + std::to_string(index + 1) + ".live";
  StartRtspSession(url.c_str(), live.session.get());
  return live;
}

void StopChannel(Live* live) {
  control::StopRun(live->session.get());
  live->channel->StopDecode(0);
  live->channel.reset();
  live->session.reset();
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The desktop, the renderer and the simulator every run needs: the simulator's port, or 0
// with the run marked skipped.
int PrepareRun(benchmark::State& state) {
  TheDesktop();
  CChannel::InitRender();
  const int port = SimulatorPort();
  if (port == 0) state.SkipWithError("the simulator did not start");
  return port;
}

void BM_LiveChannelsD1(benchmark::State& state) {
  const int port = PrepareRun(state);
  if (port == 0) return;
  const int count = static_cast<int>(state.range(0));
  videownd_test::ParentWindow parent(0, 0, 1024, 768);
  const long base_kib = proc::ResidentKiB();
  for (auto _ : state) {
    std::vector<Live> lives;
    for (int i = 0; i < count; ++i) lives.push_back(StartChannel(parent.hwnd(), i, port));
    std::this_thread::sleep_for(std::chrono::duration<double>(kWarmupSeconds));
    std::vector<int> before;
    for (auto& live : lives) before.push_back(live.channel->m_nFrames);
    const double cpu_before = proc::ProcessCpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(kMeasureSeconds));
    const double wall = Since(start);
    const double cpu = proc::ProcessCpuSeconds() - cpu_before;
    int shown_min = 1 << 30;
    double shown_sum = 0;
    for (size_t i = 0; i < lives.size(); ++i) {
      const int shown = lives[i].channel->m_nFrames - before[i];
      shown_min = std::min(shown_min, shown);
      shown_sum += shown;
    }
    const long resident = proc::ResidentKiB();
    for (auto& live : lives) StopChannel(&live);
    const double expected = wall * kFps;
    state.counters["cpu_per_s"] = cpu / wall;
    state.counters["shown_per_ch"] = shown_sum / count;
    // Frames sent but not shown on the worst channel; one frame either way is the edge of
    // the measuring window, not a drop.
    state.counters["missing_worst"] = std::max(0.0, expected - shown_min - 1);
    state.counters["MiB_per_ch"] = static_cast<double>(resident - base_kib) / 1024.0 / count;
  }
  CChannel::UninitRender();
}
BENCHMARK(BM_LiveChannelsD1)
    ->DenseRange(1, 8)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// When the running session's first video packet reached its queue; 0 until then. On loopback
// this is within a fraction of a millisecond of the simulator sending it.
std::atomic<int64_t> g_first_packet_ns{0};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// The viewer's own video playout, with a watcher beside it that notes the first packet.
unsigned WatchedVideoPlayout(RtspSession* session, RtpFrameQueue* queue) {
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done && queue->Count() == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (!done) {
      int64_t unset = 0;
      g_first_packet_ns.compare_exchange_strong(unset, NowNs());
    }
  });
  const unsigned result = VideoPlayoutThread(session, queue);
  done = true;
  watcher.join();
  return result;
}

// From the session's first packet to the presentation of its first picture: the playout
// delay, then decoding and presentation of the key frame the simulator sends first. Also
// from the start of the session, which adds the RTSP exchange and the wait for the
// simulator's next frame.
void BM_FirstPictureLatency(benchmark::State& state) {
  const int port = PrepareRun(state);
  if (port == 0) return;
  RtspSessionOptions watched;
  watched.playout = {WatchedVideoPlayout, nullptr};
  videownd_test::ParentWindow parent(0, 0, 1024, 768);
  double total_ms = 0, worst_ms = 0, total_from_start_ms = 0, worst_from_start_ms = 0;
  for (auto _ : state) {
    g_first_packet_ns = 0;
    const auto start = Clock::now();
    Live live = StartChannel(parent.hwnd(), 0, port, watched);
    // Looked at finely: the tests' 5-ms look would add up to 5 ms to every figure.
    const bool shown = channel_test::WaitFor([&] { return live.channel->m_nFrames > 0; }, 5000,
                                             std::chrono::microseconds(200));
    const int64_t shown_ns = NowNs();
    const double from_start_ms = Since(start) * 1000;
    if (!shown || g_first_packet_ns.load() == 0) {
      StopChannel(&live);
      state.SkipWithError("no picture within 5 s of the session's start");
      break;
    }
    const double ms = static_cast<double>(shown_ns - g_first_packet_ns.load()) / 1e6;
    total_ms += ms;
    worst_ms = std::max(worst_ms, ms);
    total_from_start_ms += from_start_ms;
    worst_from_start_ms = std::max(worst_from_start_ms, from_start_ms);
    StopChannel(&live);
  }
  const auto runs = static_cast<double>(state.iterations());
  state.counters["first_packet_to_shown_ms"] = total_ms / runs;
  state.counters["worst_ms"] = worst_ms;
  state.counters["start_to_shown_ms"] = total_from_start_ms / runs;
  state.counters["worst_start_ms"] = worst_from_start_ms;
  CChannel::UninitRender();
}
BENCHMARK(BM_FirstPictureLatency)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
