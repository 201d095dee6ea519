#include "voice/voice_types.h"

namespace voice {

std::optional<TypeInfo> LookupType(int type) {
  switch (type) {
    case 1:
      return TypeInfo{Family::kG711, true, false};
    case 2:
      return TypeInfo{Family::kG711, false, false};
    case 65:
      return TypeInfo{Family::kG711, true, true};
    case 66:
      return TypeInfo{Family::kG711, false, true};
    case 3:
      return TypeInfo{Family::kDvi4};
    case 35:
      return TypeInfo{Family::kIma};
    case 67:
      return TypeInfo{Family::kDvi4Headerless};
    case 4:
    case 5:
    case 6:
    case 7:
      return TypeInfo{Family::kG726, false, false, type - 2};
    case 36:
    case 37:
    case 38:
    case 39:
      return TypeInfo{Family::kG726, false, true, type - 34};
    case 68:
      return TypeInfo{Family::kG726Word, false, true, 2};
    default:
      return std::nullopt;
  }
}

bool DecodeLengthAllowed(const TypeInfo& info, int words) {
  if (words <= 0) return false;
  switch (info.family) {
    case Family::kG711:
      return words <= 240 && (2 * words) % 80 == 0;
    case Family::kDvi4:
    case Family::kIma:
      // Shorter than its two header words, a frame would decode to a negative count.
      return words >= 2 && words <= 122;
    case Family::kDvi4Headerless:
      return words <= 122;
    case Family::kG726:
    case Family::kG726Word: {
      static constexpr int kMaxWords[] = {60, 90, 120, 150};
      return words <= kMaxWords[info.bits - 2] && (16 * words / info.bits) % 80 == 0;
    }
  }
  return false;
}

}  // namespace voice
