// Arbitrary datagrams into a queue, with releases in between on a clock the input drives.
// Each step: one control byte (bit 0: release, bit 1: playing, the rest: ticks to advance),
// two length bytes, then the datagram.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "stream/rtp_frame_queue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RtpFrameQueue queue;
  uint32_t now = 0;
  uint32_t lastKey = 0;
  bool released = false;
  size_t at = 0;
  while (at + 3 <= size) {
    uint8_t control = data[at];
    int length = (data[at + 1] << 8 | data[at + 2]) % 1600;
    at += 3;
    if (static_cast<size_t>(length) > size - at) length = static_cast<int>(size - at);
    if (length >= 4)
      queue.Insert(static_cast<uint16_t>(data[at + 2] << 8 | data[at + 3]), data + at, length);
    at += length;
    now += control >> 2;
    if (!(control & 1)) continue;
    std::unique_ptr<RtpPacketRecord> record(queue.TakeDue(control & 2, now));
    if (!record) continue;
    if (record->length < 13 || record->length > kRtpRecordBytes) __builtin_trap();
    lastKey = record->key;
    released = true;
  }
  (void)lastKey;
  (void)released;
  if (queue.Count() > kQueueLimit + 1) __builtin_trap();
  return 0;
}
