// Round trips through the public frame functions: every type, two signals, SNR per type.

#include "voice/frame_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "voice/hi_voice.h"
#include "voice/test_signals.h"

namespace voice {
namespace {

using Frame = std::array<uint8_t, HI_VOICE_MAX_FRAME_BYTES>;

struct RoundTrip {
  std::vector<Frame> frames;
  std::vector<int16_t> decoded;
};

// Encodes `signal` in frames of `per_frame` samples with one encoder state, then decodes the
// frames in order with one decoder state.
RoundTrip RunStream(int type, const std::vector<int16_t>& signal, int per_frame) {
  RoundTrip result;
  alignas(8) uint8_t encoder[HI_VOICE_STATE_BYTES];
  alignas(8) uint8_t decoder[HI_VOICE_STATE_BYTES];
  EXPECT_EQ(HI_VOICE_EncReset(encoder, type), 0);
  EXPECT_EQ(HI_VOICE_DecReset(decoder, type), 0);
  for (size_t at = 0; at + per_frame <= signal.size(); at += per_frame) {
    Frame frame{};
    EXPECT_EQ(HI_VOICE_EncodeFrame(encoder, &signal[at], frame.data(), per_frame), 0);
    int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
    int32_t count = -1;
    EXPECT_EQ(HI_VOICE_DecodeFrame(decoder, frame.data(), samples, &count), 0) << "type " << type;
    result.decoded.insert(result.decoded.end(), samples, samples + count);
    result.frames.push_back(frame);
  }
  return result;
}

struct SnrCase {
  int type;
  double min_sweep_db;
  double min_noise_db;
};

// Lower bounds a little under what the standard algorithms reach on these signals; a fault in
// tables, packing or state carry-over falls far below them.
constexpr SnrCase kSnrCases[] = {
    {1, 36, 36},  {2, 36, 36},  {65, 36, 36}, {66, 36, 36}, {3, 16, 20}, {35, 16, 20},
    {67, 16, 20}, {4, 20, 11},  {36, 20, 11}, {68, 20, 11}, {5, 26, 16}, {37, 26, 16},
    {6, 33, 21},  {38, 33, 21}, {7, 34, 26},  {39, 34, 26},
};

class RoundTripSnr : public ::testing::TestWithParam<SnrCase> {};

TEST_P(RoundTripSnr, DecodedStreamStaysCloseToTheInput) {
  const SnrCase& c = GetParam();
  const int per_frame = c.type == HI_VOICE_IMA_ADPCM ? 161 : 160;
  const std::vector<int16_t> sweep = testing::SineSweep(per_frame * 100);
  const std::vector<int16_t> noise = testing::SpeechLikeNoise(per_frame * 100);
  const RoundTrip a = RunStream(c.type, sweep, per_frame);
  const RoundTrip b = RunStream(c.type, noise, per_frame);
  ASSERT_EQ(a.decoded.size(), sweep.size());
  ASSERT_EQ(b.decoded.size(), noise.size());
  const double sweep_db = testing::SnrDb(sweep, a.decoded, sweep.size());
  const double noise_db = testing::SnrDb(noise, b.decoded, noise.size());
  std::printf("type %3d: sweep %.1f dB, speech-like noise %.1f dB\n", c.type, sweep_db, noise_db);
  RecordProperty("sweep_snr_db", std::to_string(sweep_db));
  RecordProperty("noise_snr_db", std::to_string(noise_db));
  EXPECT_GE(sweep_db, c.min_sweep_db);
  EXPECT_GE(noise_db, c.min_noise_db);
}

INSTANTIATE_TEST_SUITE_P(EveryType, RoundTripSnr, ::testing::ValuesIn(kSnrCases),
                         [](const auto& info) { return "type" + std::to_string(info.param.type); });

// The two bit orders and the word packing carry the same code sequence, so their decoders must
// produce the same samples.
TEST(RoundTrip, PackingsOfOneRateDecodeAlike) {
  const std::vector<int16_t> noise = testing::SpeechLikeNoise(160 * 20);
  for (int bits = 2; bits <= 5; ++bits) {
    const RoundTrip lsb = RunStream(bits + 2, noise, 160);
    const RoundTrip msb = RunStream(bits + 34, noise, 160);
    EXPECT_EQ(lsb.decoded, msb.decoded) << bits << " bits";
  }
  EXPECT_EQ(RunStream(4, noise, 160).decoded, RunStream(68, noise, 160).decoded);
}

// Samples beyond the last whole payload word are left out without moving the encoder on, so a
// decoder that carries its state across frames stays in step with the encoder.
TEST(RoundTrip, LeftOverSamplesDoNotDesynchroniseCarriedState) {
  const std::vector<int16_t> noise = testing::SpeechLikeNoise(163 * 30);
  struct Case {
    int type;
    int used;   // samples a frame carries
    int given;  // samples handed to the encoder
  };
  for (const Case c :
       {Case{67, 160, 163}, Case{5, 160, 162}, Case{7, 80, 83}, Case{68, 160, 167}}) {
    std::vector<int16_t> trimmed;
    for (size_t at = 0; at + c.given <= noise.size(); at += c.given) {
      trimmed.insert(trimmed.end(), &noise[at], &noise[at] + c.used);
    }
    alignas(8) uint8_t long_state[HI_VOICE_STATE_BYTES], short_state[HI_VOICE_STATE_BYTES];
    HI_VOICE_EncReset(long_state, c.type);
    HI_VOICE_EncReset(short_state, c.type);
    for (size_t f = 0; f < trimmed.size() / c.used; ++f) {
      Frame from_long{}, from_short{};
      HI_VOICE_EncodeFrame(long_state, &noise[f * c.given], from_long.data(), c.given);
      HI_VOICE_EncodeFrame(short_state, &trimmed[f * c.used], from_short.data(), c.used);
      ASSERT_EQ(from_long, from_short) << "type " << c.type << " frame " << f;
    }
  }
}

TEST(RoundTrip, SeparateStatesKeepSeparateStreams) {
  const std::vector<int16_t> sweep = testing::SineSweep(160 * 10);
  const std::vector<int16_t> noise = testing::SpeechLikeNoise(160 * 10);
  const RoundTrip alone = RunStream(6, sweep, 160);
  alignas(8) uint8_t s1[HI_VOICE_STATE_BYTES], s2[HI_VOICE_STATE_BYTES];
  HI_VOICE_EncReset(s1, 6);
  HI_VOICE_EncReset(s2, 6);
  for (size_t f = 0; f < 10; ++f) {
    Frame a{}, b{};
    HI_VOICE_EncodeFrame(s1, &sweep[f * 160], a.data(), 160);
    HI_VOICE_EncodeFrame(s2, &noise[f * 160], b.data(), 160);
    EXPECT_EQ(a, alone.frames[f]);
  }
}

TEST(RoundTrip, ImaFrameStartsWithItsFirstSampleExactly) {
  const std::vector<int16_t> noise = testing::SpeechLikeNoise(161 * 4, 7);
  const RoundTrip r = RunStream(35, noise, 161);
  for (int f = 0; f < 4; ++f) EXPECT_EQ(r.decoded[f * 161], noise[f * 161]);
}

}  // namespace
}  // namespace voice
