// The codec against a reference nobody here wrote: FFmpeg's decoders fed the same codes.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "voice/ffmpeg_reference.h"
#include "voice/hi_voice.h"
#include "voice/test_signals.h"

namespace {

using voice::testing::FfmpegDecoder;
using voice::testing::FfmpegEncoder;

struct Stream {
  std::vector<std::vector<uint8_t>> payloads;  // payload bytes of each frame
  std::vector<int16_t> decoded;                // our decoder's output
};

Stream EncodeAndDecode(int type, const std::vector<int16_t>& signal, int per_frame) {
  Stream s;
  uint8_t enc[HI_VOICE_STATE_BYTES], dec[HI_VOICE_STATE_BYTES];
  HI_VOICE_EncReset(enc, type);
  HI_VOICE_DecReset(dec, type);
  for (size_t at = 0; at + per_frame <= signal.size(); at += per_frame) {
    uint8_t frame[HI_VOICE_MAX_FRAME_BYTES];
    EXPECT_EQ(HI_VOICE_EncodeFrame(enc, &signal[at], frame, per_frame), 0);
    s.payloads.emplace_back(frame + 4, frame + 4 + 2 * frame[2]);
    int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
    int32_t count;
    EXPECT_EQ(HI_VOICE_DecodeFrame(dec, frame, samples, &count), 0);
    s.decoded.insert(s.decoded.end(), samples, samples + count);
  }
  return s;
}

std::vector<int16_t> FfmpegDecodeAll(const char* name, int bits, int block_align,
                                     const std::vector<std::vector<uint8_t>>& packets) {
  FfmpegDecoder decoder(name, bits, block_align);
  EXPECT_TRUE(decoder.ok()) << name;
  std::vector<int16_t> out;
  for (const auto& p : packets) EXPECT_TRUE(decoder.Decode(p.data(), p.size(), out)) << name;
  return out;
}

size_t CountDifferences(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  size_t n = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) n += a[i] != b[i];
  return n;
}

std::vector<int16_t> TestSignal(int samples) {
  std::vector<int16_t> s = voice::testing::SineSweep(samples / 2);
  const std::vector<int16_t> n = voice::testing::SpeechLikeNoise(samples - samples / 2, 11);
  s.insert(s.end(), n.begin(), n.end());
  return s;
}

TEST(FfmpegAgreement, G711ExpansionMatchesForEveryCode) {
  for (int type : {1, 2, 65, 66}) {
    std::vector<uint8_t> payload(480);
    for (int i = 0; i < 480; ++i) payload[i] = static_cast<uint8_t>(i);
    std::array<uint8_t, 4 + 480> frame{0x00, 0x01, 240, 0};
    std::copy(payload.begin(), payload.end(), frame.begin() + 4);
    uint8_t state[HI_VOICE_STATE_BYTES];
    int16_t ours[HI_VOICE_MAX_DECODE_SAMPLES];
    int32_t count;
    HI_VOICE_DecReset(state, type);
    ASSERT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), ours, &count), 0);
    // The swapped packings hand FFmpeg the bytes of each word in the other order.
    if (type >= 65) {
      for (int i = 0; i < 480; i += 2) std::swap(payload[i], payload[i + 1]);
    }
    const bool alaw = type == 1 || type == 65;
    const auto theirs = FfmpegDecodeAll(alaw ? "pcm_alaw" : "pcm_mulaw", 8, 0, {payload});
    ASSERT_EQ(theirs.size(), 480u);
    EXPECT_EQ(std::vector<int16_t>(ours, ours + 480), theirs) << "type " << type;
  }
}

// Position of a code on the quantiser's scale, from the most negative level upward.
int Level(int type, uint8_t code) {
  const int magnitude = type == 1 ? (code ^ 0x55) & 0x7F : (~code) & 0x7F;
  return (code & 0x80) ? 128 + magnitude : 127 - magnitude;
}

// FFmpeg's compression tables pick the nearest reconstruction level of the 14-bit input; ours
// keeps the standard's decision values (segment edges at the interval boundaries) and maps
// negative input with the one's complement as ITU's reference software does. Where the two
// disagree they pick neighbouring levels.
TEST(FfmpegAgreement, G711CompressionDiffersOnlyByNeighbouringLevels) {
  std::vector<int16_t> all(65536);
  for (int i = 0; i < 65536; ++i) all[i] = static_cast<int16_t>(i - 32768);
  for (int type : {1, 2}) {
    FfmpegEncoder encoder(type == 1 ? "pcm_alaw" : "pcm_mulaw", 0);
    ASSERT_TRUE(encoder.ok());
    std::vector<uint8_t> theirs;
    ASSERT_TRUE(encoder.Encode(all.data(), 65536, theirs));
    ASSERT_EQ(theirs.size(), 65536u);
    uint8_t state[HI_VOICE_STATE_BYTES];
    HI_VOICE_EncReset(state, type);
    int differing = 0;
    for (int at = 0; at < 65536; at += 480) {
      const int n = std::min(480, 65536 - at);
      uint8_t frame[HI_VOICE_MAX_FRAME_BYTES];
      ASSERT_EQ(HI_VOICE_EncodeFrame(state, &all[at], frame, n), 0);
      for (int i = 0; i < n; ++i) {
        const uint8_t ours = frame[4 + i], ref = theirs[at + i];
        if (ours == ref) continue;
        ++differing;
        EXPECT_EQ(std::abs(Level(type, ours) - Level(type, ref)), 1) << "sample " << all[at + i];
      }
    }
    std::printf("G.711 type %d: %d of 65536 inputs compress to a neighbouring code in FFmpeg\n",
                type, differing);
    RecordProperty("type" + std::to_string(type) + "_differing_inputs", differing);
  }
}

// Type 35 carries the SMJPEG block's codes with the nibbles of each byte swapped, and its
// first sample in the header: SMJPEG decodes everything after that sample.
TEST(FfmpegAgreement, ImaMatchesSmjpegSampleForSample) {
  const std::vector<int16_t> signal = TestSignal(161 * 60);
  Stream s = EncodeAndDecode(35, signal, 161);
  for (auto& p : s.payloads) {
    std::swap(p[0], p[1]);
    for (size_t i = 4; i < p.size(); ++i) p[i] = static_cast<uint8_t>((p[i] << 4) | (p[i] >> 4));
  }
  const auto theirs = FfmpegDecodeAll("adpcm_ima_smjpeg", 4, 0, s.payloads);
  ASSERT_EQ(theirs.size(), s.decoded.size() - s.payloads.size());
  size_t differing = 0;
  for (size_t f = 0; f < s.payloads.size(); ++f) {
    for (int i = 0; i < 160; ++i) differing += s.decoded[f * 161 + 1 + i] != theirs[f * 160 + i];
  }
  EXPECT_EQ(differing, 0u);
}

// Type 3 is the SMJPEG block with the header's predictor in little-endian order.
TEST(FfmpegAgreement, Dvi4MatchesSmjpegSampleForSample) {
  const std::vector<int16_t> signal = TestSignal(160 * 60);
  Stream s = EncodeAndDecode(3, signal, 160);
  for (auto& p : s.payloads) std::swap(p[0], p[1]);
  const auto theirs = FfmpegDecodeAll("adpcm_ima_smjpeg", 4, 0, s.payloads);
  ASSERT_EQ(theirs.size(), s.decoded.size());
  EXPECT_EQ(CountDifferences(s.decoded, theirs), 0u);
}

// Headerless frames continue one stream: all of them behind one header of the reset state.
TEST(FfmpegAgreement, HeaderlessDvi4MatchesOneContinuousSmjpegBlock) {
  const std::vector<int16_t> signal = TestSignal(160 * 20);
  const Stream s = EncodeAndDecode(67, signal, 160);
  std::vector<uint8_t> block = {0, 0, 0, 0};
  for (const auto& p : s.payloads) block.insert(block.end(), p.begin(), p.end());
  const auto theirs = FfmpegDecodeAll("adpcm_ima_smjpeg", 4, 0, {block});
  ASSERT_EQ(theirs.size(), s.decoded.size());
  EXPECT_EQ(CountDifferences(s.decoded, theirs), 0u);
}

// FFmpeg's IMA WAV decoder reads exactly the type 35 layout but computes (2 * code + 1) * step
// / 8 in one multiplication instead of the recommendation's sum of shifted steps, so its
// samples drift from the reference arithmetic.
TEST(FfmpegAgreement, ImaWavMultiplicationRoundsDifferentlyFromTheReference) {
  const std::vector<int16_t> signal = TestSignal(161 * 60);
  const Stream s = EncodeAndDecode(35, signal, 161);
  const auto theirs = FfmpegDecodeAll("adpcm_ima_wav", 4, 84, s.payloads);
  ASSERT_EQ(theirs.size(), s.decoded.size());
  const size_t differing = CountDifferences(s.decoded, theirs);
  const double snr = voice::testing::SnrDb(s.decoded, theirs, theirs.size());
  std::printf("adpcm_ima_wav: %zu of %zu samples differ from the reference arithmetic (%.1f dB)\n",
              differing, s.decoded.size(), snr);
  RecordProperty("ima_wav_differing_samples", static_cast<int>(differing));
  EXPECT_GT(differing, 0u);
  EXPECT_GE(snr, 20.0) << "the same codes still describe nearly the same signal";
}

struct G726Comparison {
  size_t differing;
  size_t total;
  double snr_db;  // of FFmpeg's output measured against ours
};

G726Comparison CompareG726(int type, const char* ffmpeg_name, int bits, bool swap_words) {
  const std::vector<int16_t> signal = TestSignal(160 * 100);
  Stream s = EncodeAndDecode(type, signal, 160);
  if (swap_words) {
    for (auto& p : s.payloads) {
      for (size_t i = 0; i + 1 < p.size(); i += 2) std::swap(p[i], p[i + 1]);
    }
  }
  const auto theirs = FfmpegDecodeAll(ffmpeg_name, bits, 0, s.payloads);
  EXPECT_EQ(theirs.size(), s.decoded.size());
  return {CountDifferences(s.decoded, theirs), s.decoded.size(),
          voice::testing::SnrDb(s.decoded, theirs, std::min(theirs.size(), s.decoded.size()))};
}

// FFmpeg's G.726 is not bit-exact with the ITU reference: it blends the two scale factors as
// (yl + (yu - yl/64) * al) / 64, keeping the fraction of yl the Recommendation drops, and it
// leaks the zero coefficients by 2^-8 at 40 kbit/s where the Recommendation leaks by 2^-9. Its
// samples therefore differ slightly at 16 to 32 kbit/s and drift further at 40 kbit/s. Both
// packings must hand FFmpeg the same code sequence, hence identical results.
TEST(FfmpegAgreement, G726DecodersAgreeClosely) {
  for (int bits = 2; bits <= 5; ++bits) {
    const G726Comparison lsb = CompareG726(bits + 2, "g726le", bits, false);
    const G726Comparison msb = CompareG726(bits + 34, "g726", bits, false);
    std::printf("G.726 %d kbit/s: g726le differs in %zu of %zu samples (%.1f dB), g726 in %zu\n",
                8 * bits, lsb.differing, lsb.total, lsb.snr_db, msb.differing);
    RecordProperty("g726_" + std::to_string(8 * bits) + "_differing",
                   static_cast<int>(lsb.differing));
    EXPECT_EQ(lsb.differing, msb.differing) << bits << " bits";
    EXPECT_DOUBLE_EQ(lsb.snr_db, msb.snr_db);
    EXPECT_GE(lsb.snr_db, bits == 5 ? 5.0 : 30.0) << bits << " bits";
  }
  const G726Comparison word = CompareG726(68, "g726", 2, true);
  const G726Comparison lsb = CompareG726(4, "g726le", 2, false);
  EXPECT_EQ(word.differing, lsb.differing);
}

}  // namespace
