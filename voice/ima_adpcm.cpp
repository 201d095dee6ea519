#include "voice/ima_adpcm.h"

#include <algorithm>
#include <array>

namespace voice {
namespace {

constexpr std::array<int16_t, 89> kStepSize = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<int8_t, 8> kIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};

// The difference a code's magnitude bits stand for: step/8 + step/4 + step/2 + step, each
// term present when its bit is set, exactly as the reference decoder adds them.
constexpr int Difference(int step, uint8_t code) {
  int diff = step >> 3;
  if (code & 4) diff += step;
  if (code & 2) diff += step >> 1;
  if (code & 1) diff += step >> 2;
  return diff;
}

void Advance(ImaChannel& channel, uint8_t code, int diff) {
  const int predicted = (code & 8) ? channel.predictor - diff : channel.predictor + diff;
  channel.predictor = std::clamp(predicted, -32768, 32767);
  channel.index = std::clamp(channel.index + kIndexAdjust[code & 7], 0, kImaMaxIndex);
}

}  // namespace

int ClampImaIndex(int index) { return std::clamp(index, 0, kImaMaxIndex); }

uint8_t ImaEncode(ImaChannel& channel, int16_t sample) {
  int step = kStepSize[channel.index];
  int delta = sample - channel.predictor;
  uint8_t code = 0;
  if (delta < 0) {
    code = 8;
    delta = -delta;
  }
  if (delta >= step) {
    code |= 4;
    delta -= step;
  }
  step >>= 1;
  if (delta >= step) {
    code |= 2;
    delta -= step;
  }
  step >>= 1;
  if (delta >= step) code |= 1;
  Advance(channel, code, Difference(kStepSize[channel.index], code));
  return code;
}

int16_t ImaDecode(ImaChannel& channel, uint8_t code) {
  code &= 0x0F;
  Advance(channel, code, Difference(kStepSize[channel.index], code));
  return static_cast<int16_t>(channel.predictor);
}

}  // namespace voice
