// Seeking a recording in the playback dialog against the DVR simulator (a separate process):
// the control's playback channel decodes for real, and each picture it hands on is read for the
// recording time burnt into it. Reports the time from the slider's release to the first
// picture at the new position, and the RTSP requests a drag sent: one change of position (a
// single seek) and a drag across the whole slider, one change per position, as the
// slider reports them.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "control/live_channel.h"
#include "control/viewer_control.h"
#include "device/playback/play_back_dlg.h"
#include "device/widgets/widget_theme.h"
#include "platform/process/child_process.h"
#include "platform/ui/ui.h"
#include "tools/dvrsim/catalogue.h"
#include "tools/dvrsim/picture.h"
#include "tools/dvrsim/recording_files.h"
#include "videolib/videownd_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kRecordSeconds = 130;
constexpr int kSliderId = 1007;

// The playback channel's pictures, read as they are handed on: the recording second shown.
std::atomic<int> g_shownSeconds{-1};

class ReadingChannel : public control::LiveChannel {
 public:
  ReadingChannel() { m_bPackPictures = true; }
  int OnVideoStream(BYTE* picture, int width, int height, int64_t time, void* reserved) override {
    std::string digits = dvrsim::ReadDigitRow(picture, width, width, 1);
    if (digits.size() == 4 && digits.find_first_not_of("0123456789") == std::string::npos) {
      g_shownSeconds = std::stoi(digits.substr(0, 2)) * 60 + std::stoi(digits.substr(2));
    }
    return control::LiveChannel::OnVideoStream(picture, width, height, time, reserved);
  }
};

class ReadingLibrary : public control::VideoLibrary {
 public:
  std::unique_ptr<control::ControlChannel> NewChannel() override {
    return std::make_unique<ReadingChannel>();
  }
};

struct Simulator {
  std::unique_ptr<platform::process::ChildProcess> child;
  int port = 0;
  std::string url;
};

// The simulator with one 130 s recording of channel 1 today, and that recording's URL.
Simulator& TheSimulator() {
  static Simulator* sim = [] {
    auto* s = new Simulator;
    const std::string cache = (fs::temp_directory_path() / "playback-seek-bench").string();
    dvrsim::Catalogue catalogue(1, 1, std::time(nullptr));
    const dvrsim::Recording* today = nullptr;
    for (const auto& r : catalogue.all()) today = r.day == 1 ? &r : today;
    dvrsim::RecordingFiles files(cache, 352, 288, kRecordSeconds);
    const int64_t size = files.Get(*today).size;
    std::string error;
    s->child = platform::process::ChildProcess::Spawn(
        DVRSIM_PATH,
        {"--port", "0", "--channels", "1", "--records-per-day", "1", "--record-seconds",
         std::to_string(kRecordSeconds), "--record-cache", cache, "--download-port", "0",
         "--command-port", "0"},
        &error);
    std::string line;
    const std::string ready = "dvrsim ready on port ";
    while (s->child && s->child->ReadLine(&line, 20000)) {
      if (line.rfind(ready, 0) == 0) {
        s->port = std::stoi(line.substr(ready.size()));
        break;
      }
    }
    // As the search dialog builds it from the record: storage, locators A, C, B, D, size.
    char path[96];
    std::snprintf(path, sizeof path, "/0_%d_%d_%d_%d_%lld_.avi", today->channel, today->segment,
                  today->day, today->serial, static_cast<long long>(size));
    s->url = "rtsp://127.0.0.1:" + std::to_string(s->port) + path;
    return s;
  }();
  return *sim;
}

videownd_test::Desktop& TheDesktop() {
  static auto* desktop = new videownd_test::Desktop(1024, 768);
  return *desktop;
}

// Runs the window thread's messages until `done` or `limit` (at least once); false on the
// limit.
template <typename Done>
bool PumpUntil(Done done, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end) return false;
    TheDesktop().Drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// One playback: opened, playing from 0, then for each iteration the release at one end after
// a drag from the other (`drag`: every position in between, a few milliseconds apart as a
// hand moves; else the one position only).
void RunSeeks(benchmark::State& state, int from, int to, bool drag, int gapMs) {
  TheDesktop();
  Simulator& sim = TheSimulator();
  if (sim.port == 0) return state.SkipWithError("the simulator did not start");
  ReadingLibrary library;
  auto control = std::make_unique<control::ViewerControl>(library);
  videownd_test::ParentWindow owner(0, 0, 1024, 768);
  device::playback::CPlayBackDlg dialog(control.get(), sim.url);
  if (!dialog.Create(owner.hwnd())) return state.SkipWithError("no dialog");
  if (!PumpUntil([] { return g_shownSeconds >= 0; }, std::chrono::seconds(10)))
    return state.SkipWithError("no picture");
  double releaseToPicture = 0, requests = 0, changes = 0;
  for (auto _ : state) {
    const uint64_t before = dialog.seeksExecuted();
    // Each run goes back the other way, so that what still shows of the last one never
    // passes for the new position.
    std::swap(from, to);
    const int step = from <= to ? 1 : -1;
    for (int p = drag ? from : to;; p += step) {
      SendMessageA(dialog.m_hWnd, device::widgets::kMsgSliderMoving, kSliderId, p);
      changes += 1;
      PumpUntil([] { return false; }, std::chrono::milliseconds(gapMs));
      if (p == to) break;
    }
    SendMessageA(dialog.m_hWnd, device::widgets::kMsgSliderReleased, kSliderId, to);
    const auto released = Clock::now();
    g_shownSeconds = -1;
    const bool shown =
        PumpUntil([&] { return g_shownSeconds >= to - 1 && g_shownSeconds <= to + 1; },
                  std::chrono::seconds(10));
    releaseToPicture += std::chrono::duration<double>(Clock::now() - released).count();
    if (!shown) {
      const std::string what = "the new position " + std::to_string(to) +
                               " was never shown; last " + std::to_string(g_shownSeconds.load());
      state.SkipWithError(what.c_str());
    }
    PumpUntil([&] { return false; }, std::chrono::milliseconds(300));
    requests += 2.0 * static_cast<double>(dialog.seeksExecuted() - before);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["release_to_picture_ms"] = 1000.0 * releaseToPicture / n;
  state.counters["slider_changes"] = changes / n;
  state.counters["rtsp_requests"] = requests / n;
  SendMessageA(dialog.m_hWnd, WM_CLOSE, 0, 0);
  TheDesktop().Drain();
}

void BM_SingleSeek(benchmark::State& state) { RunSeeks(state, 90, 30, false, 4); }
// The argument: milliseconds between two changes of position (0: as fast as they come).
void BM_DragAcrossTheSlider(benchmark::State& state) {
  RunSeeks(state, 0, kRecordSeconds - 5, true, static_cast<int>(state.range(0)));
}

BENCHMARK(BM_SingleSeek)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_DragAcrossTheSlider)
    ->Arg(8)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
