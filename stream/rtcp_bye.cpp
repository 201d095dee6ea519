#include "stream/rtcp_bye.h"

namespace {

uint32_t Word(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint32_t>(d[at]) << 24 | static_cast<uint32_t>(d[at + 1]) << 16 |
         static_cast<uint32_t>(d[at + 2]) << 8 | d[at + 3];
}

}  // namespace

bool RtcpByeFor(std::span<const uint8_t> d, uint32_t ssrc) {
  size_t at = 0;
  while (at + 4 <= d.size() && (d[at] >> 6) == 2) {
    const size_t length = 4 * ((static_cast<size_t>(d[at + 2]) << 8 | d[at + 3]) + 1);
    if (length > d.size() - at) return false;
    if (d[at + 1] == kRtcpBye) {
      const size_t sources = d[at] & 0x1F;
      for (size_t i = 0; i < sources && 8 + 4 * i <= length; ++i) {
        if (Word(d, at + 4 + 4 * i) == ssrc) return true;
      }
    }
    at += length;
  }
  return false;
}
