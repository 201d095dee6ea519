#pragma once

#include <cstdint>

namespace voice {

// Packs `count` codes of `bits` bits (2..5) into `bytes` bytes, least significant bit first:
// a code straddling a byte boundary puts its low bits in the first byte. Bits past the last
// code are zero. REQUIRES: count * bits <= 8 * bytes.
void PackLsbFirst(const uint8_t* codes, int count, int bits, uint8_t* out, int bytes);
void UnpackLsbFirst(const uint8_t* in, int count, int bits, uint8_t* codes);

// The same, most significant bit first.
void PackMsbFirst(const uint8_t* codes, int count, int bits, uint8_t* out, int bytes);
void UnpackMsbFirst(const uint8_t* in, int count, int bits, uint8_t* codes);

// Eight 2-bit codes per little-endian word, the first in bits 15-14.
void PackWordPairs(const uint8_t* codes, int words, uint8_t* out);
void UnpackWordPairs(const uint8_t* in, int words, uint8_t* codes);

}  // namespace voice
