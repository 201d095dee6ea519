#pragma once
// Whether a compound RTCP datagram carries a BYE (packet type 203) for a given source: the
// sender's end of that stream, which a server sends when a recording has played to its end.
// Servers also say BYE for sources they replace (a seek or a new pipeline), so only the source
// being received counts. No I/O.

#include <cstdint>
#include <span>

constexpr uint8_t kRtcpBye = 203;

// Walks the packets by their length fields; a malformed or cut packet ends the walk.
bool RtcpByeFor(std::span<const uint8_t> datagram, uint32_t ssrc);
