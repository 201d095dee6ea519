#pragma once
// Rebuilds H.265 NAL units from RTP payloads (RFC 7798), one payload at a time, into a unit
// buffer the caller owns, like BuildNal does for H.264. Streams without decoding order numbers
// only (sprop-max-don-diff 0, the common case): a session refuses the others before playing.
//
//   single NAL unit packet (types 0 to 47): the payload is the unit, its 2-byte header first;
//   aggregation packet (48): 2-byte header, then units each behind a 16-bit size; they come
//     out together, each behind its own start code;
//   fragmentation unit (49): 2-byte header, FU header (S, E, 6-bit type), data; the unit's
//     header is the payload header with the FU type put back.
// PACI packets (50) and reserved types carry nothing this client reads and are dropped, as is
// every payload with the forbidden bit set or whose sizes do not add up.

#include <cstdint>
#include <span>

constexpr int kHevcPayloadHeaderBytes = 2;
constexpr int kHevcFuPrefixBytes = 3;  // payload header, FU header
constexpr uint8_t kHevcAggregationType = 48;
constexpr uint8_t kHevcFragmentType = 49;

// The NAL unit type of a 2-byte H.265 NAL unit or payload header starting at `header`.
inline uint8_t HevcNalType(uint8_t firstHeaderByte) { return (firstHeaderByte >> 1) & 0x3F; }

// `continuous` is false when packets were lost before this one: what was gathered is
// discarded. Returns the length of the complete units now at the start of `unit`, each behind
// a start code, or 0; `*position` is what is being gathered of a fragmented unit (0 after a
// complete one, so a stray fragment never extends a delivered unit).
// REQUIRES: 0 <= *position <= unit.size().
int BuildHevcNal(std::span<const uint8_t> payload, bool continuous, std::span<uint8_t> unit,
                 int* position);
