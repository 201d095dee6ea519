#include "stream/rtcp_bye.h"

bool RtcpHasBye(std::span<const uint8_t> d) {
  size_t at = 0;
  while (at + 4 <= d.size() && (d[at] >> 6) == 2) {
    if (d[at + 1] == kRtcpBye) return true;
    at += 4 * ((static_cast<size_t>(d[at + 2]) << 8 | d[at + 3]) + 1);
  }
  return false;
}
