// Insert + TakeDue at a live stream's pace: 1400-byte packets, one every 4 ms of RTP time, 1%
// of them swapped with their successor, the clock advanced with the packets so that each run
// holds the 400 ms playout delay in the queue.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "stream/rtp_frame_queue.h"

namespace {

constexpr int kPacketBytes = 1400;
constexpr uint32_t kTicksPerPacket = 360;  // 4 ms at 90 kHz

struct Packet {
  uint16_t seq;
  std::vector<uint8_t> bytes;
};

std::vector<Packet> Stream(int count, int reorderEvery) {
  std::vector<Packet> packets(count);
  for (int i = 0; i < count; ++i) {
    uint16_t seq = static_cast<uint16_t>(i);
    uint32_t ts = static_cast<uint32_t>(i) * kTicksPerPacket;
    auto& bytes = packets[i].bytes;
    bytes.assign(kPacketBytes, 0x5A);
    bytes[2] = static_cast<uint8_t>(seq >> 8);
    bytes[3] = static_cast<uint8_t>(seq);
    for (int b = 0; b < 4; ++b) bytes[4 + b] = static_cast<uint8_t>(ts >> (24 - 8 * b));
    packets[i].seq = seq;
  }
  if (reorderEvery > 0)
    for (int i = reorderEvery / 2; i + 1 < count; i += reorderEvery)
      std::swap(packets[i], packets[i + 1]);
  return packets;
}

void BM_InsertTakeDue(benchmark::State& state) {
  const int count = 1 << 16;  // one full turn of the sequence numbers
  std::vector<Packet> packets = Stream(count, static_cast<int>(state.range(0)));
  int64_t released = 0;
  for (auto _ : state) {
    RtpFrameQueue queue;
    uint32_t now = 0;
    int playing = 0;
    for (int i = 0; i < count; ++i) {
      const Packet& p = packets[i];
      queue.Insert(p.seq, p.bytes.data(), kPacketBytes);
      now += 4;
      while (RtpPacketRecord* record = queue.TakeDue(playing, now)) {
        playing = 1;
        delete record;
        ++released;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["released_share"] =
      static_cast<double>(released) / static_cast<double>(state.iterations() * count);
}
BENCHMARK(BM_InsertTakeDue)->Arg(100)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
