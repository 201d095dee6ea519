#include "voice/code_packing.h"

#include <cstring>

namespace voice {

void PackLsbFirst(const uint8_t* codes, int count, int bits, uint8_t* out, int bytes) {
  uint32_t acc = 0;
  int held = 0;
  uint8_t* const end = out + bytes;
  for (int i = 0; i < count; ++i) {
    acc |= static_cast<uint32_t>(codes[i]) << held;
    held += bits;
    while (held >= 8) {
      *out++ = static_cast<uint8_t>(acc);
      acc >>= 8;
      held -= 8;
    }
  }
  if (held > 0) *out++ = static_cast<uint8_t>(acc);
  std::memset(out, 0, end - out);
}

void UnpackLsbFirst(const uint8_t* in, int count, int bits, uint8_t* codes) {
  const uint32_t mask = (1u << bits) - 1;
  uint32_t acc = 0;
  int held = 0;
  for (int i = 0; i < count; ++i) {
    if (held < bits) {
      acc |= static_cast<uint32_t>(*in++) << held;
      held += 8;
    }
    codes[i] = static_cast<uint8_t>(acc & mask);
    acc >>= bits;
    held -= bits;
  }
}

void PackMsbFirst(const uint8_t* codes, int count, int bits, uint8_t* out, int bytes) {
  uint32_t acc = 0;
  int held = 0;
  uint8_t* const end = out + bytes;
  for (int i = 0; i < count; ++i) {
    acc = (acc << bits) | codes[i];
    held += bits;
    while (held >= 8) {
      held -= 8;
      *out++ = static_cast<uint8_t>(acc >> held);
    }
  }
  if (held > 0) *out++ = static_cast<uint8_t>(acc << (8 - held));
  std::memset(out, 0, end - out);
}

void UnpackMsbFirst(const uint8_t* in, int count, int bits, uint8_t* codes) {
  const uint32_t mask = (1u << bits) - 1;
  uint32_t acc = 0;
  int held = 0;
  for (int i = 0; i < count; ++i) {
    if (held < bits) {
      acc = (acc << 8) | *in++;
      held += 8;
    }
    held -= bits;
    codes[i] = static_cast<uint8_t>((acc >> held) & mask);
  }
}

void PackWordPairs(const uint8_t* codes, int words, uint8_t* out) {
  for (int w = 0; w < words; ++w, codes += 8) {
    unsigned word = 0;
    for (int k = 0; k < 8; ++k) word |= (codes[k] & 3u) << (14 - 2 * k);
    out[2 * w] = static_cast<uint8_t>(word);
    out[2 * w + 1] = static_cast<uint8_t>(word >> 8);
  }
}

void UnpackWordPairs(const uint8_t* in, int words, uint8_t* codes) {
  for (int w = 0; w < words; ++w, codes += 8) {
    const unsigned word = in[2 * w] | (in[2 * w + 1] << 8);
    for (int k = 0; k < 8; ++k) codes[k] = (word >> (14 - 2 * k)) & 3;
  }
}

}  // namespace voice
