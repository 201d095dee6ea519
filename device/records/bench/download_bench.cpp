// Download throughput on loopback: the simulator's recorder serves a 32 MiB recording, the
// viewer's download threads fetch it, one or five at once, into files.
#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <thread>

#include "device/protocol/requests.h"
#include "device/records/download_job.h"
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

}  // namespace

BENCHMARK_MAIN();
