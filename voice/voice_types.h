#pragma once

#include <cstdint>
#include <optional>

namespace voice {

// The codec families behind the type codes, and how each packs its payload.
enum class Family {
  kG711,            // 1, 2 (first code in the low byte), 65, 66 (first code in the high byte)
  kDvi4,            // 3: header of predictor and index, codes high nibble first
  kIma,             // 35: header of first sample and index, codes low nibble first
  kDvi4Headerless,  // 67: codes high nibble first, state carried over from frame to frame
  kG726,            // 4-7 least significant bit first, 36-39 most significant bit first
  kG726Word,        // 68: eight 2-bit codes per word, first in bits 15-14
};

struct TypeInfo {
  Family family;
  bool alaw = false;        // G.711: A-law rather than mu-law
  bool high_first = false;  // G.711: first code in the high byte; G.726: MSB-first packing
  int bits = 0;             // G.726: bits per code
};

std::optional<TypeInfo> LookupType(int type);

// Whether a frame of `words` payload words is acceptable to the decoder of this type.
bool DecodeLengthAllowed(const TypeInfo& info, int words);

}  // namespace voice
