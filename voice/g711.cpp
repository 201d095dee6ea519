#include "voice/g711.h"

#include <array>
#include <bit>

namespace voice {
namespace {

// A-law code of a 12-bit magnitude (the sample's top bits without the sign).
constexpr uint8_t AlawOfMagnitude(int magnitude, bool positive) {
  int code = magnitude;
  if (magnitude > 15) {
    const int exponent = std::bit_width(static_cast<unsigned>(magnitude)) - 4;  // 1..7
    code = (exponent << 4) | ((magnitude >> (exponent - 1)) & 0x0F);
  }
  if (positive) code |= 0x80;
  return static_cast<uint8_t>(code ^ 0x55);
}

// mu-law code of a 14-bit magnitude.
constexpr uint8_t UlawOfMagnitude(int magnitude, bool positive) {
  int biased = magnitude + 33;  // the mu-law bias in 14-bit units
  if (biased > 0x1FFF) biased = 0x1FFF;
  const int segment = std::bit_width(static_cast<unsigned>(biased >> 6)) + 1;  // 1..8
  const int high = 8 - segment;
  const int low = 0x0F - ((biased >> segment) & 0x0F);
  int code = (high << 4) | low;
  if (positive) code |= 0x80;
  return static_cast<uint8_t>(code);
}

// The A-law code depends only on sample >> 4 (since ~x >> 4 == ~(x >> 4)), the mu-law code only
// on sample >> 2, so both encoders are single table lookups.
constexpr std::array<uint8_t, 4096> kAlawTable = [] {
  std::array<uint8_t, 4096> table{};
  for (int i = 0; i < 4096; ++i) {
    const int top = i - 2048;  // sample >> 4
    table[i] = top >= 0 ? AlawOfMagnitude(top, true) : AlawOfMagnitude(~top, false);
  }
  return table;
}();

constexpr std::array<uint8_t, 16384> kUlawTable = [] {
  std::array<uint8_t, 16384> table{};
  for (int i = 0; i < 16384; ++i) {
    const int top = i - 8192;  // sample >> 2
    table[i] = top >= 0 ? UlawOfMagnitude(top, true) : UlawOfMagnitude(~top, false);
  }
  return table;
}();

constexpr int16_t ExpandAlaw(uint8_t code) {
  const int value = code ^ 0x55;
  const int exponent = (value >> 4) & 0x07;
  int mantissa = value & 0x0F;
  if (exponent > 0) mantissa += 16;
  mantissa = (mantissa << 4) + 8;  // half a quantisation step
  if (exponent > 1) mantissa <<= exponent - 1;
  return static_cast<int16_t>((value & 0x80) ? mantissa : -mantissa);
}

constexpr int16_t ExpandUlaw(uint8_t code) {
  const int value = ~code & 0xFF;
  const int exponent = (value >> 4) & 0x07;
  const int mantissa = value & 0x0F;
  const int step = 4 << (exponent + 1);
  const int magnitude = (0x80 << exponent) + step * mantissa + step / 2 - 4 * 33;
  return static_cast<int16_t>((code & 0x80) ? magnitude : -magnitude);
}

constexpr std::array<int16_t, 256> MakeExpansion(int16_t (*expand)(uint8_t)) {
  std::array<int16_t, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = expand(static_cast<uint8_t>(i));
  return table;
}

constexpr std::array<int16_t, 256> kAlawExpansion = MakeExpansion(ExpandAlaw);
constexpr std::array<int16_t, 256> kUlawExpansion = MakeExpansion(ExpandUlaw);

}  // namespace

uint8_t LinearToAlaw(int16_t sample) { return kAlawTable[(sample >> 4) + 2048]; }

uint8_t LinearToUlaw(int16_t sample) { return kUlawTable[(sample >> 2) + 8192]; }

int16_t AlawToLinear(uint8_t code) { return kAlawExpansion[code]; }

int16_t UlawToLinear(uint8_t code) { return kUlawExpansion[code]; }

}  // namespace voice
