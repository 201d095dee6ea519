#pragma once

// One signaling frame on a TCP stream.
//
// Unstuffed frame (multi-byte fields big-endian):
//   offset 0  size 2  checksum: sum mod 65536 of every byte from offset 2 to the end
//   offset 2  size 4  sequence number (frames built for sending on the connection, from 0)
//   offset 6  size 2  protocol number
//   offset 8  size 2  XML document length n
//   offset 10 size n  XML document, no terminating NUL
//
// On the stream: 0x7E, the frame bytes with 0x7E -> 7D 02 and 0x7D -> 7D 01, then 0x7E.

#include <cstddef>
#include <cstdint>

namespace sigbus {

inline constexpr std::size_t kFrameCapacity = 3072;
inline constexpr std::size_t kFrameHeaderSize = 10;
inline constexpr std::size_t kDocumentCapacity = kFrameCapacity - kFrameHeaderSize;
inline constexpr std::size_t kReceiveCapacity = 6144;
inline constexpr std::uint8_t kFlag = 0x7E;
inline constexpr std::uint8_t kEscape = 0x7D;
inline constexpr std::uint8_t kEscapedEscape = 0x01;
inline constexpr std::uint8_t kEscapedFlag = 0x02;
inline constexpr std::uint16_t kUnlistedProtoNo = 0xFFFF;

inline constexpr std::size_t kOffsetChecksum = 0;
inline constexpr std::size_t kOffsetSequence = 2;
inline constexpr std::size_t kOffsetProtoNo = 6;
inline constexpr std::size_t kOffsetLength = 8;
static_assert(kOffsetLength + 2 == kFrameHeaderSize);
static_assert(kDocumentCapacity == 3062);

// The record in which one frame is built or received.
struct wire_frame {
  std::uint8_t stuffed[kFrameCapacity];
  int stuffed_length = 0;
  // One byte beyond the largest frame so that the document is always NUL-terminated.
  std::uint8_t frame[kFrameCapacity + 1];
  int frame_length = 0;
  bool valid = false;
};

// The receive side of one connection: unframed bytes and the send sequence counter.
struct frame_assembler {
  std::uint8_t buffer[kReceiveCapacity] = {};
  std::size_t fill = 0;
  std::uint32_t sequence = 0;
};

}  // namespace sigbus
