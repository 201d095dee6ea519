#pragma once

#include <cstdint>

#include "voice/voice_types.h"

namespace voice {

// Payload coding of each family against a state block (HI_VOICE_STATE_BYTES, any alignment).
// The frame header is the caller's business; `payload` points just past it.

// Stores `type` and resets the family's state record.
void ResetState(void* block, int16_t type, const TypeInfo& info);

// Encodes `count` samples (1..481); returns the payload words written.
int EncodePayload(void* block, const TypeInfo& info, const int16_t* samples, int count,
                  uint8_t* payload);

// Decodes `words` payload words that passed DecodeLengthAllowed; returns the samples written
// (at most 488).
int DecodePayload(void* block, const TypeInfo& info, const uint8_t* payload, int words,
                  int16_t* samples);

}  // namespace voice
