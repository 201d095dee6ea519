#pragma once

#include <cstdint>

namespace voice {

// ITU-T G.711 companding of 16-bit linear samples. Negative samples are mapped with the one's
// complement, as ITU's own reference software does, so the quantiser is symmetric about -0.5.
uint8_t LinearToAlaw(int16_t sample);
uint8_t LinearToUlaw(int16_t sample);

// Expansion by the standard's tables, scaled to 16 bits (A-law x8, mu-law x4).
int16_t AlawToLinear(uint8_t code);
int16_t UlawToLinear(uint8_t code);

}  // namespace voice
