// An RTSP connection carrying RTP as a hostile server sends it: the parser takes every byte
// off the front in steps that stay inside the buffer, and always makes progress with a whole
// buffer.
#include <cstddef>
#include <cstdint>

#include "stream/interleaved.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t maxMessage = 4 + data[0] * 16;
  size_t at = 1;
  while (at < size) {
    InterleavedStep step = ParseInterleaved(data + at, size - at, maxMessage);
    if (step.kind == InterleavedStep::Kind::kNeedMore) break;
    if (step.consumed == 0 || step.consumed > size - at) __builtin_trap();
    if (step.kind == InterleavedStep::Kind::kFrame &&
        step.payloadLength + kInterleavedHeaderBytes != step.consumed)
      __builtin_trap();
    at += step.consumed;
  }
  return 0;
}
