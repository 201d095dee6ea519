#pragma once

#include <cstdint>

namespace voice {

// The adaptive state of one ITU-T G.726 coder (linear input and output). Names follow the
// Recommendation's variables; dq and sr hold its 11-bit floating format (sign << 10 |
// exponent << 6 | mantissa), in which 32 stands for zero.
struct G726State {
  int32_t yl;     // slow quantiser scale factor (19 bits)
  int16_t yu;     // fast quantiser scale factor
  int16_t dms;    // short-term average of F[I]
  int16_t dml;    // long-term average of F[I]
  int16_t ap;     // speed control
  int16_t a[2];   // pole coefficients a1, a2
  int16_t pk[2];  // signs (1 = negative) of dq + sez, one and two samples back
  int16_t b[6];   // zero coefficients
  int16_t dq[6];  // quantised differences, newest first
  int16_t sr[2];  // reconstructed signal, newest first
  int16_t td;     // tone detected
};

// Per-rate tables, looked up by code magnitude.
struct G726Rate {
  int bits;                 // 2..5
  const int16_t* decision;  // quantiser decision levels in the log domain
  int decisions;
  const int16_t* dqln;  // reconstruction levels in the log domain
  const int16_t* w;     // scale factor multipliers
  const uint8_t* f;     // transition weights
  int b_leak;           // leak shift of the zero coefficients (9 at 40 kbit/s, else 8)
};

// REQUIRES: 2 <= bits <= 5.
const G726Rate& G726RateForBits(int bits);

// The reset of the ITU reference: yl 34816, yu 544, dq and sr 32, everything else 0.
void G726Reset(G726State& state);

// Brings a state read from a caller's block into the ranges the arithmetic relies on.
void G726Sanitize(G726State& state);

// Codes `count` 16-bit samples (each by its top 14 bits) into codes of rate.bits bits.
void G726EncodeBlock(G726State& state, const G726Rate& rate, const int16_t* samples, int count,
                     uint8_t* codes);

// Decodes `count` codes into 16-bit samples (the 14-bit reconstruction, saturated after
// scaling).
void G726DecodeBlock(G726State& state, const G726Rate& rate, const uint8_t* codes, int count,
                     int16_t* samples);

}  // namespace voice
