#pragma once
// Rebuilds H.264 NAL units from RTP payloads, one payload at a time, into a unit buffer the
// caller owns. Nothing is kept between calls but what the caller passes back in.
//
// Single NAL unit packets make a unit at once. Fragmentation units (types 28 to 31, all read
// with the FU-A layout) are gathered from the start fragment to the end fragment; the start
// fragment's NAL header is rebuilt from the FU header's type with NRI 3. Aggregation packets
// are passed whole, as one unit. A unit or fragment that does not fit the buffer is dropped.

#include <cstdint>
#include <span>

constexpr uint8_t kNalStartCode[4] = {0, 0, 0, 1};
constexpr int kNalStartCodeBytes = sizeof kNalStartCode;
constexpr int kFuPrefixBytes = 2;  // FU indicator, FU header

// Feeds one packet's payload to the unit held in the first `*position` bytes of `unit`.
// `continuous` is false when packets were lost before this one: what was gathered is
// discarded. Returns true when the first `*position` bytes of `unit` are a complete unit,
// start code first. REQUIRES: 0 <= *position <= unit.size().
bool BuildNal(std::span<const uint8_t> payload, bool continuous, std::span<uint8_t> unit,
              int* position);
