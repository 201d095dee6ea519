#pragma once

// Test signals and measures shared by the codec's tests and benchmarks.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voice::testing {

// A sine sweep from 100 Hz to 3400 Hz at 8 kHz, peak `amplitude`.
std::vector<int16_t> SineSweep(int samples, double amplitude = 12000.0);

// Noise shaped like speech: a low-passed random signal under a syllable-rate envelope.
std::vector<int16_t> SpeechLikeNoise(int samples, uint32_t seed = 1);

// Signal-to-noise ratio of `decoded` against `reference` in dB, over the first `count` samples.
double SnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded,
             std::size_t count);

}  // namespace voice::testing
