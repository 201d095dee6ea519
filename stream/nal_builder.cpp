#include "stream/nal_builder.h"

#include <cstring>

namespace {

constexpr uint8_t kFragmentTypes = 0x1C;  // all set: types 28 to 31
constexpr uint8_t kStartBit = 0x80;
constexpr uint8_t kEndBit = 0x40;
constexpr uint8_t kTypeMask = 0x1F;
constexpr uint8_t kImportantNri = 0x60;
constexpr int kRebuiltHeaderBytes = 1;

int Size(std::span<const uint8_t> bytes) { return static_cast<int>(bytes.size()); }

void PutStartCode(std::span<uint8_t> unit) {
  std::memcpy(unit.data(), kNalStartCode, sizeof kNalStartCode);
}

// The unit is complete at once; its bytes stay behind `position` until the next start.
bool SingleUnit(std::span<const uint8_t> payload, std::span<uint8_t> unit, int* position) {
  if (Size(payload) + kNalStartCodeBytes > Size(unit)) return false;
  PutStartCode(unit);
  std::memcpy(unit.data() + kNalStartCodeBytes, payload.data(), payload.size());
  *position = Size(payload) + kNalStartCodeBytes;
  return true;
}

bool StartFragment(uint8_t fuHeader, std::span<const uint8_t> data, std::span<uint8_t> unit,
                   int* position) {
  constexpr int kPrefix = kNalStartCodeBytes + kRebuiltHeaderBytes;
  if (Size(data) + kPrefix > Size(unit)) return false;
  PutStartCode(unit);
  // The indicator's NRI is not carried over: every rebuilt unit is marked important.
  unit[kNalStartCodeBytes] = static_cast<uint8_t>((fuHeader & kTypeMask) | kImportantNri);
  std::memcpy(unit.data() + kPrefix, data.data(), data.size());
  *position = Size(data) + kPrefix;
  return false;
}

bool Fragment(std::span<const uint8_t> payload, std::span<uint8_t> unit, int* position) {
  // Shorter than indicator and header: nothing to read, the packet is dropped.
  if (Size(payload) < kFuPrefixBytes) return false;
  uint8_t fuHeader = payload[1];
  std::span<const uint8_t> data = payload.subspan(kFuPrefixBytes);
  if (fuHeader & kStartBit) return StartFragment(fuHeader, data, unit, position);
  if (*position == 0 || *position + Size(data) > Size(unit)) return false;
  std::memcpy(unit.data() + *position, data.data(), data.size());
  *position += Size(data);
  return (fuHeader & kEndBit) != 0;
}

}  // namespace

bool BuildNal(std::span<const uint8_t> payload, bool continuous, std::span<uint8_t> unit,
              int* position) {
  if (!continuous) *position = 0;
  if (payload.empty()) return false;
  if ((payload[0] & kFragmentTypes) != kFragmentTypes) return SingleUnit(payload, unit, position);
  return Fragment(payload, unit, position);
}
