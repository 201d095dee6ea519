#pragma once
// The RTP header as every reader of a datagram sees it: the fixed twelve bytes, the CSRC list,
// the header extension and the padding at the end.
//
//    0                   1                   2                   3
//    0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1
//   +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//   |V=2|P|X|  CC   |M|     PT      |       sequence number         |
//   +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//   |                           timestamp                           |
//   +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//   |                             SSRC                              |
//   +=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+=+
//   |              CC x CSRC (4 bytes each)                         |
//   +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//   | X: profile (16 bits)          |  length in 32-bit words (16)  |
//   |                        extension words                        |
//   +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//   |                   payload ...      | P: padding ... | count   |
//   +-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+
//
// The version is reported, not checked: the DVRs' datagrams are version 2, and a reader that
// wants to refuse others can.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

constexpr int kRtpHeaderBytes = 12;  // the fixed part, without CSRCs or extension
constexpr int kRtpCsrcBytes = 4;
constexpr int kRtpExtensionHeaderBytes = 4;

struct RtpHeader {
  uint8_t version = 0;
  bool padding = false;
  bool extension = false;
  uint8_t csrcCount = 0;
  bool marker = false;
  uint8_t payloadType = 0;
  uint16_t sequence = 0;
  uint32_t timestamp = 0;
  uint32_t ssrc = 0;
  // The payload within the datagram: after the CSRCs and the extension, before the padding.
  size_t payloadOffset = 0;
  size_t payloadLength = 0;

  std::span<const uint8_t> Payload(std::span<const uint8_t> datagram) const {
    return datagram.subspan(payloadOffset, payloadLength);
  }
};

// Reads the header of `datagram`. Empty when the datagram is shorter than the fixed header,
// or when its CSRC list, extension or padding count reaches past its end.
std::optional<RtpHeader> ParseRtpHeader(std::span<const uint8_t> datagram);

// The fixed fields only (sequence, timestamp, SSRC, flags), for readers that keep the datagram
// whole; empty when it is shorter than kRtpHeaderBytes. The payload fields are left 0.
std::optional<RtpHeader> ParseRtpFixedHeader(std::span<const uint8_t> datagram);
