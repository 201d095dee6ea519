#pragma once
// Whether a compound RTCP datagram carries a BYE (packet type 203): the sender's end of the
// stream, which a server sends when a recording has played to its end. No I/O.

#include <cstdint>
#include <span>

constexpr uint8_t kRtcpBye = 203;

// Walks the packets by their length fields; a malformed or cut packet ends the walk.
bool RtcpHasBye(std::span<const uint8_t> datagram);
