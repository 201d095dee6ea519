// NAL unit building over the packets of a D1 stream: 25 pictures of about 40 KB each second
// (one 40 KB I picture, then P pictures of 12 KB), in 1400-byte fragments, with parameter
// sets as single units. Bytes counted are the datagram bytes handed to AssembleNal.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "stream/nal_assembler.h"

namespace {

int Count(CChannel*, const uint8_t*, int length) { return length; }

std::vector<RtpPacketRecord> D1Packets() {
  std::vector<RtpPacketRecord> packets;
  auto add = [&](int length, uint8_t indicator, uint8_t header) {
    RtpPacketRecord r;
    std::memset(r.datagram, 0x5A, sizeof r.datagram);
    r.length = length;
    r.datagram[0] = 0x80;  // version 2, no CSRCs, extension or padding
    r.datagram[1] = 96;
    r.datagram[12] = indicator;
    r.datagram[13] = header;
    r.key = static_cast<uint32_t>(packets.size() + 1);
    packets.push_back(r);
  };
  for (int picture = 0; picture < 25; ++picture) {
    int bytes = picture == 0 ? 40000 : 12000;
    if (picture == 0) {
      add(12 + 20, 0x67, 0x42);
      add(12 + 4, 0x68, 0xCE);
    }
    int fragments = (bytes + 1385) / 1386;
    for (int f = 0; f < fragments; ++f) {
      uint8_t header = picture == 0 ? 5 : 1;
      if (f == 0) header |= 0x80;
      if (f == fragments - 1) header |= 0x40;
      add(1400, 0x7C, header);
    }
  }
  return packets;
}

void BM_AssembleNalD1(benchmark::State& state) {
  auto packets = D1Packets();
  RtpFrameQueue queue(reinterpret_cast<CChannel*>(&packets), Count);
  int64_t bytes = 0;
  for (auto _ : state) {
    uint32_t previous = 0;
    for (const auto& p : packets) {
      AssembleNal(&queue, previous, &p);
      previous = p.key;
      bytes += p.length;
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_AssembleNalD1);

}  // namespace
BENCHMARK_MAIN();
