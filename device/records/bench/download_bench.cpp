// Download throughput on loopback: the simulator's recorder serves a 32 MiB recording, the
// viewer's download threads fetch it, one or five at once, into files. And the user-interface
// thread's longest stall while five downloads report their progress to a real download list
// on the headless desktop.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <thread>

#include "device/protocol/requests.h"
#include "device/records/download_job.h"
#include "device/records/download_paths.h"
#include "device/records/rec_export_dlg.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handle.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/ui.h"
#include "platform/vfw/avi_probe.h"
#include "tools/dvrsim/catalogue.h"
#include "tools/dvrsim/recorder.h"

namespace {

using namespace device::records;

constexpr int64_t kFileBytes = 32 << 20;

struct Quiet : DownloadEvents {
  void ListRow(DWORD, const std::string&) override {}
  void Progress(DWORD, int) override {}
  void Finished(int, int) override {}
  void Show(int, int) override {}
};

// The recorder with a large file in place of its first recording.
struct Server {
  Server() {
    dvrsim::RecorderOptions o;
    o.cacheDir = avi_probe::TempDir();
    recorder = std::make_unique<dvrsim::Recorder>(o, 1, 352, 288, std::time(nullptr), "127.0.0.1",
                                                  [](const std::string&) {});
    const dvrsim::Recording& r = recorder->catalogue().all().front();
    std::vector<char> bytes(kFileBytes);
    std::mt19937 rng(1);
    for (auto& b : bytes) b = static_cast<char>(rng());
    std::ofstream(o.cacheDir + "/" + recorder->files().Name(r), std::ios::binary)
        .write(bytes.data(), kFileBytes);
    auto entry = dvrsim::EncodeRecordEntry(r, static_cast<int32_t>(kFileBytes));
    std::memcpy(&record, entry.data(), sizeof record);
    recorder->StartDownloads(0);
    out = avi_probe::TempDir();
  }
  std::unique_ptr<dvrsim::Recorder> recorder;
  RecordEntry record{};
  std::string out;
};

Server& TheServer() {
  static Server s;
  return s;
}

void BM_Download(benchmark::State& state) {
  Server& s = TheServer();
  const int count = static_cast<int>(state.range(0));
  Quiet events;
  for (auto _ : state) {
    DownloadSlots slots;
    std::vector<std::thread> threads;
    std::atomic<int> done{0};
    for (int i = 0; i < count; ++i) {
      DownloadJob job;
      job.address = "127.0.0.1";
      job.port = s.recorder->downloadPort();
      job.descriptor = DescribeRecord(s.record, kStorageHardDisk);
      job.path = s.out + "/d" + std::to_string(i) + ".avi";
      job.slot = slots.Reserve();
      threads.emplace_back([&, job] { done += RunDownload(job, slots, events) == kDownloadDone; });
    }
    for (auto& t : threads) t.join();
    if (done != count) state.SkipWithError("a download failed");
  }
  state.SetBytesProcessed(state.iterations() * count * kFileBytes);
}
BENCHMARK(BM_Download)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the search dialog's download threads tell the list: posted messages, as the dialog
// posts them.
struct ListEvents : DownloadEvents {
  ListEvents(HWND list, std::shared_ptr<DownloadPaths> paths) : list(list), paths(paths) {}
  void ListRow(DWORD thread, const std::string& path) override {
    paths->Put(thread, path);
    PostMessageA(list, CRecExportDlg::kMsgDownloadRow, thread, 0);
  }
  void Progress(DWORD thread, int percent) override {
    PostMessageA(list, CRecExportDlg::kMsgDownloadProgress, thread, percent);
  }
  void Finished(int, int) override {}
  void Show(int, int) override {}
  HWND list;
  std::shared_ptr<DownloadPaths> paths;
};

// Serves the thread's messages until `threads` have ended; the longest time one message
// (painting included) kept the thread from the next one, in milliseconds.
double ServeUntilEnded(std::vector<HANDLE>& threads) {
  using Clock = std::chrono::steady_clock;
  double longest = 0;
  while (WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 0) ==
         WAIT_TIMEOUT) {
    MSG msg;
    const auto began = Clock::now();
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    longest =
        std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - began).count());
  }
  return longest;
}

void BM_ListStallDuringFiveDownloads(benchmark::State& state) {
  Server& s = TheServer();
  std::string error;
  auto display = platform::display::Display::CreateHeadless(1024, 768, &error);
  if (!display) return state.SkipWithError(error.c_str());
  platform::gdi::InstallDcProvider();
  InitCommonControls();  // the list view
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768,
                               nullptr, nullptr, nullptr, nullptr);
  double longest = 0;
  for (auto _ : state) {
    auto slots = std::make_shared<DownloadSlots>();
    auto paths = std::make_shared<DownloadPaths>();
    CRecExportDlg list(slots, paths);
    if (!list.Create(owner)) return state.SkipWithError("no download list");
    list.Show();
    // Its first painting is not a progress report: done before the downloads start.
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
    auto events = std::make_shared<ListEvents>(list.m_hWnd, paths);
    std::vector<HANDLE> threads;
    for (int i = 0; i < DownloadSlots::kSlots; ++i) {
      DownloadJob job;
      job.address = "127.0.0.1";
      job.port = s.recorder->downloadPort();
      job.descriptor = DescribeRecord(s.record, kStorageHardDisk);
      job.path = s.out + "/l" + std::to_string(i) + ".avi";
      job.slot = slots->Reserve();
      threads.push_back(StartDownload(job, slots, events));
    }
    longest = std::max(longest, ServeUntilEnded(threads));
    for (HANDLE t : threads) CloseHandle(t);
    list.Destroy();
  }
  DestroyWindow(owner);
  state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_ListStallDuringFiveDownloads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
