#include "stream/hevc_builder.h"

#include <cstring>

#include "stream/nal_builder.h"

namespace {

constexpr uint8_t kForbiddenBit = 0x80;
constexpr uint8_t kStartBit = 0x80;
constexpr uint8_t kEndBit = 0x40;
constexpr uint8_t kFuTypeMask = 0x3F;
constexpr uint8_t kLastSingleType = 47;
constexpr int kSizeBytes = 2;

int Size(std::span<const uint8_t> bytes) { return static_cast<int>(bytes.size()); }

int SingleUnit(std::span<const uint8_t> payload, std::span<uint8_t> unit) {
  if (Size(payload) + kNalStartCodeBytes > Size(unit)) return 0;
  std::memcpy(unit.data(), kNalStartCode, kNalStartCodeBytes);
  std::memcpy(unit.data() + kNalStartCodeBytes, payload.data(), payload.size());
  return Size(payload) + kNalStartCodeBytes;
}

// Every aggregated unit must hold at least its own header and end within the packet; one that
// does not makes the whole packet untrustworthy, so nothing of it is delivered.
int Aggregation(std::span<const uint8_t> payload, std::span<uint8_t> unit) {
  std::span<const uint8_t> rest = payload.subspan(kHevcPayloadHeaderBytes);
  int total = 0;
  int units = 0;
  for (size_t at = 0; at < rest.size();) {
    if (rest.size() - at < kSizeBytes) return 0;
    size_t size = static_cast<size_t>(rest[at] << 8 | rest[at + 1]);
    at += kSizeBytes;
    if (size < kHevcPayloadHeaderBytes || size > rest.size() - at) return 0;
    if (rest[at] & kForbiddenBit) return 0;
    total += kNalStartCodeBytes + static_cast<int>(size);
    at += size;
    ++units;
  }
  if (units == 0 || total > Size(unit)) return 0;
  int out = 0;
  for (size_t at = 0; at < rest.size();) {
    size_t size = static_cast<size_t>(rest[at] << 8 | rest[at + 1]);
    at += kSizeBytes;
    std::memcpy(unit.data() + out, kNalStartCode, kNalStartCodeBytes);
    std::memcpy(unit.data() + out + kNalStartCodeBytes, rest.data() + at, size);
    out += kNalStartCodeBytes + static_cast<int>(size);
    at += size;
  }
  return out;
}

int Fragment(std::span<const uint8_t> payload, std::span<uint8_t> unit, int* position) {
  if (Size(payload) < kHevcFuPrefixBytes) return 0;
  const uint8_t fuHeader = payload[2];
  const uint8_t type = fuHeader & kFuTypeMask;
  std::span<const uint8_t> data = payload.subspan(kHevcFuPrefixBytes);
  if (fuHeader & kStartBit) {
    *position = 0;
    // A fragmented aggregation or fragment is not a NAL unit.
    if (type == kHevcAggregationType || type == kHevcFragmentType) return 0;
    constexpr int kPrefix = kNalStartCodeBytes + kHevcPayloadHeaderBytes;
    if (Size(data) + kPrefix > Size(unit)) return 0;
    std::memcpy(unit.data(), kNalStartCode, kNalStartCodeBytes);
    unit[kNalStartCodeBytes] = static_cast<uint8_t>((payload[0] & 0x81) | (type << 1));
    unit[kNalStartCodeBytes + 1] = payload[1];
    std::memcpy(unit.data() + kPrefix, data.data(), data.size());
    *position = Size(data) + kPrefix;
  } else {
    if (*position == 0) return 0;
    if (*position + Size(data) > Size(unit)) {
      *position = 0;  // the rest of this unit cannot be kept: none of it is delivered
      return 0;
    }
    std::memcpy(unit.data() + *position, data.data(), data.size());
    *position += Size(data);
  }
  // Start and end in one packet is not allowed, but what it holds is a whole unit.
  if ((fuHeader & kEndBit) == 0) return 0;
  const int length = *position;
  *position = 0;
  return length;
}

}  // namespace

int BuildHevcNal(std::span<const uint8_t> payload, bool continuous, std::span<uint8_t> unit,
                 int* position) {
  if (!continuous) *position = 0;
  if (Size(payload) <= kHevcPayloadHeaderBytes || (payload[0] & kForbiddenBit)) {
    *position = 0;
    return 0;
  }
  const uint8_t type = HevcNalType(payload[0]);
  if (type == kHevcFragmentType) return Fragment(payload, unit, position);
  // Any other packet ends a unit being gathered: its end fragment was lost.
  *position = 0;
  if (type <= kLastSingleType) return SingleUnit(payload, unit);
  if (type == kHevcAggregationType) return Aggregation(payload, unit);
  return 0;
}
