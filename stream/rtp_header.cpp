#include "stream/rtp_header.h"

namespace {

constexpr uint8_t kVersionShift = 6;
constexpr uint8_t kPaddingBit = 0x20;
constexpr uint8_t kExtensionBit = 0x10;
constexpr uint8_t kCsrcCountMask = 0x0F;
constexpr uint8_t kMarkerBit = 0x80;
constexpr uint8_t kPayloadTypeMask = 0x7F;

uint16_t Read16(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

uint32_t Read32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// The extension's total size from its header at `at`, or 0 when it does not fit `left`.
size_t ExtensionBytes(const uint8_t* at, size_t left) {
  if (left < kRtpExtensionHeaderBytes) return 0;
  size_t bytes = kRtpExtensionHeaderBytes + size_t{Read16(at + 2)} * 4;
  return bytes <= left ? bytes : 0;
}

}  // namespace

std::optional<RtpHeader> ParseRtpFixedHeader(std::span<const uint8_t> datagram) {
  if (datagram.size() < kRtpHeaderBytes) return std::nullopt;
  const uint8_t* d = datagram.data();
  RtpHeader h;
  h.version = static_cast<uint8_t>(d[0] >> kVersionShift);
  h.padding = (d[0] & kPaddingBit) != 0;
  h.extension = (d[0] & kExtensionBit) != 0;
  h.csrcCount = d[0] & kCsrcCountMask;
  h.marker = (d[1] & kMarkerBit) != 0;
  h.payloadType = d[1] & kPayloadTypeMask;
  h.sequence = Read16(d + 2);
  h.timestamp = Read32(d + 4);
  h.ssrc = Read32(d + 8);
  return h;
}

std::optional<RtpHeader> ParseRtpHeader(std::span<const uint8_t> datagram) {
  std::optional<RtpHeader> h = ParseRtpFixedHeader(datagram);
  if (!h) return std::nullopt;
  size_t end = datagram.size();
  size_t at = kRtpHeaderBytes + size_t{h->csrcCount} * kRtpCsrcBytes;
  if (at > end) return std::nullopt;
  if (h->extension) {
    size_t bytes = ExtensionBytes(datagram.data() + at, end - at);
    if (bytes == 0) return std::nullopt;
    at += bytes;
  }
  if (h->padding) {
    // The count includes itself, so it is at least 1 and covers no header byte.
    size_t pad = datagram[end - 1];
    if (pad == 0 || pad > end - at) return std::nullopt;
    end -= pad;
  }
  h->payloadOffset = at;
  h->payloadLength = end - at;
  return h;
}
