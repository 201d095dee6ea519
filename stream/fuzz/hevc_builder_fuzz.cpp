// Arbitrary datagrams through the H.265 unit building of the video playout. Each step: one
// control byte (bit 0: a gap before this packet), two length bytes, then the datagram. Every
// delivery must start with the start code and fit the unit buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "stream/nal_assembler.h"

namespace {

int Check(CChannel*, const uint8_t* unit, int length) {
  if (length < 4 || length > kUnitBufferBytes || std::memcmp(unit, kNalStartCode, 4) != 0)
    __builtin_trap();
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RtpPacketRecord record;
  RtpFrameQueue queue(reinterpret_cast<CChannel*>(&record), Check);
  queue.codec = VideoCodec::kH265;
  queue.prelude = {0, 0, 0, 1, 0x40, 0x01};
  uint32_t key = 0;
  size_t at = 0;
  while (at + 3 <= size) {
    uint8_t control = data[at];
    int length = (data[at + 1] << 8 | data[at + 2]) % (kRtpRecordBytes + 1);
    at += 3;
    if (static_cast<size_t>(length) > size - at) length = static_cast<int>(size - at);
    std::memcpy(record.datagram, data + at, length);
    at += length;
    if (length <= kRtpHeaderBytes) continue;  // the queue never releases such a datagram
    record.length = length;
    record.key = key + 1 + (control & 1);
    AssembleNal(&queue, key, &record);
    key = record.key;
    if (queue.position < 0 || queue.position > kUnitBufferBytes) __builtin_trap();
  }
  return 0;
}
