#pragma once
// RTP and RTCP carried on the RTSP connection (RTSP over TCP, "interleaved"):
//
//   0  '$' (0x24)
//   1  channel: 2n RTP and 2n+1 RTCP of the n-th track set up
//   2  payload length, 16 bits in network order
//   4  payload
//
// between which the server may send RTSP messages (replies, or requests of its own), which
// start with a letter. Pure bytes in, records out.

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t kInterleavedMagic = '$';
constexpr size_t kInterleavedHeaderBytes = 4;

struct InterleavedStep {
  enum class Kind {
    kFrame,     // a whole frame: channel, payload at offset 4, `consumed` bytes in all
    kMessage,   // an RTSP message of `consumed` bytes (header and Content-Length body)
    kNeedMore,  // the front is the start of a frame or message: read more
    kSkip,      // `consumed` bytes belong to neither: the stream resynchronises after them
  };
  Kind kind = Kind::kNeedMore;
  size_t consumed = 0;
  uint8_t channel = 0;
  size_t payloadLength = 0;
};

// What the front of `data` holds. A message longer than `maxMessage` is skipped as a whole
// header is never found in it.
InterleavedStep ParseInterleaved(const uint8_t* data, size_t size, size_t maxMessage = 16384);

// A frame with `payload` on `channel`. REQUIRES: size <= 65535.
std::vector<uint8_t> BuildInterleaved(uint8_t channel, const uint8_t* payload, size_t size);
