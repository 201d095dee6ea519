#pragma once

#include <cstdint>

namespace voice {

// One IMA/DVI4 ADPCM channel: the predicted sample and the index into the 89-entry step table.
struct ImaChannel {
  int predictor = 0;  // always within int16
  int index = 0;      // always within 0..88
};

inline constexpr int kImaMaxIndex = 88;

// Clamps an index read from a frame header or a caller's state into the step table.
int ClampImaIndex(int index);

// Codes one sample with the IMA reference algorithm and moves the channel to the value the
// decoder will reconstruct. Returns the 4-bit code (bit 3 the sign).
uint8_t ImaEncode(ImaChannel& channel, int16_t sample);

// Expands one 4-bit code with the reference shift-and-add arithmetic.
int16_t ImaDecode(ImaChannel& channel, uint8_t code);

}  // namespace voice
