#include "voice/test_signals.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace voice::testing {

std::vector<int16_t> SineSweep(int samples, double amplitude) {
  std::vector<int16_t> out(samples);
  const double f0 = 100.0, f1 = 3400.0, rate = 8000.0;
  const double duration = samples / rate;
  for (int i = 0; i < samples; ++i) {
    const double t = i / rate;
    const double phase = 2 * std::numbers::pi * (f0 * t + (f1 - f0) * t * t / (2 * duration));
    out[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
  }
  return out;
}

std::vector<int16_t> SpeechLikeNoise(int samples, uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<int16_t> out(samples);
  double low = 0.0, lower = 0.0;
  for (int i = 0; i < samples; ++i) {
    low += 0.35 * (normal(random) - low);
    lower += 0.5 * (low - lower);
    const double envelope = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * 4.0 * i / 8000.0);
    const double value = 16000.0 * envelope * lower;
    out[i] = static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0));
  }
  return out;
}

double SnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded,
             size_t count) {
  double signal = 0.0, noise = 0.0;
  for (size_t i = 0; i < count; ++i) {
    const double d = static_cast<double>(reference[i]) - decoded[i];
    signal += static_cast<double>(reference[i]) * reference[i];
    noise += d * d;
  }
  if (noise == 0.0) return 200.0;
  return 10.0 * std::log10(signal / noise);
}

}  // namespace voice::testing
