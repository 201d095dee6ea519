// The exported functions: result codes, length rules per type, frame layout, transcoding.

#include "voice/hi_voice.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "voice/code_packing.h"
#include "voice/test_signals.h"

namespace {

using Frame = std::array<uint8_t, 4 + 2 * 255>;

constexpr int kAllTypes[] = {1, 2, 65, 66, 3, 35, 67, 4, 5, 6, 7, 36, 37, 38, 39, 68};

Frame MakeFrame(int words, uint16_t flags = 0x0100) {
  Frame frame{};
  frame[0] = flags & 0xFF;
  frame[1] = flags >> 8;
  frame[2] = static_cast<uint8_t>(words);
  for (int i = 0; i < 2 * words; ++i) frame[4 + i] = static_cast<uint8_t>(i * 37 + 11);
  frame[6] = 20;  // a sane step index where a header is read
  frame[7] = 0;
  return frame;
}

int16_t StoredType(const uint8_t* block) {
  int16_t type;
  std::memcpy(&type, block, sizeof type);
  return type;
}

TEST(Version, CopiesTheTextWithItsTerminator) {
  char text[64];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(HI_VOICE_GetVersion(text), 0);
  EXPECT_STREQ(text, "HI_VOICE_VERSION=DVR_VOICELIB_V1.0.0.0");
  EXPECT_EQ(HI_VOICE_GetVersion(nullptr), -1);
}

TEST(Reset, NullStateAndUnknownTypes) {
  uint8_t state[HI_VOICE_STATE_BYTES];
  EXPECT_EQ(HI_VOICE_EncReset(nullptr, 1), HI_VOICE_ERR_NULL_STATE);
  EXPECT_EQ(HI_VOICE_DecReset(nullptr, 1), HI_VOICE_ERR_NULL_STATE);
  EXPECT_EQ(HI_VOICE_EncReset(state, 8), HI_VOICE_ERR_ENC_TYPE);
  EXPECT_EQ(StoredType(state), 8) << "an unknown type is still stored";
  EXPECT_EQ(HI_VOICE_DecReset(state, 97), HI_VOICE_ERR_DEC_TYPE);
  EXPECT_EQ(StoredType(state), 97);
  for (int type : kAllTypes) {
    EXPECT_EQ(HI_VOICE_EncReset(state, type), 0) << type;
    EXPECT_EQ(StoredType(state), type);
    EXPECT_EQ(HI_VOICE_DecReset(state, type), 0) << type;
  }
}

TEST(Encode, ArgumentChecksInOrder) {
  uint8_t state[HI_VOICE_STATE_BYTES];
  int16_t samples[482] = {};
  uint8_t frame[HI_VOICE_MAX_FRAME_BYTES];
  HI_VOICE_EncReset(state, 1);
  EXPECT_EQ(HI_VOICE_EncodeFrame(nullptr, samples, frame, 160), HI_VOICE_ERR_NULL_STATE);
  EXPECT_EQ(HI_VOICE_EncodeFrame(state, nullptr, frame, 160), HI_VOICE_ERR_NULL_INPUT);
  EXPECT_EQ(HI_VOICE_EncodeFrame(state, samples, nullptr, 482), HI_VOICE_ERR_NULL_OUTPUT)
      << "a null frame is reported before the count is looked at";
  EXPECT_EQ(HI_VOICE_EncodeFrame(state, samples, frame, 482), HI_VOICE_ERR_ENC_COUNT);
  EXPECT_EQ(HI_VOICE_EncodeFrame(state, samples, frame, 0), HI_VOICE_ERR_ENC_COUNT);
  EXPECT_EQ(HI_VOICE_EncodeFrame(state, samples, frame, 481), 0);
  HI_VOICE_EncReset(state, 9);
  EXPECT_EQ(HI_VOICE_EncodeFrame(state, samples, frame, 160), HI_VOICE_ERR_ENC_TYPE);
}

struct EncodeLength {
  int type;
  int count;
  int words;
};

// Payload words per type: G.711 count/2, DVI4 count/4 + 2, IMA (count-1)/4 + 2, headerless
// DVI4 count/4, G.726 count*bits/16, type 68 count/8.
constexpr EncodeLength kEncodeLengths[] = {
    {1, 160, 80},  {1, 161, 80},  {1, 1, 0},      {66, 481, 240}, {3, 160, 42},  {3, 163, 42},
    {35, 161, 42}, {35, 1, 2},    {35, 481, 122}, {67, 160, 40},  {67, 3, 0},    {4, 160, 20},
    {5, 160, 30},  {5, 161, 30},  {6, 160, 40},   {7, 160, 50},   {7, 481, 150}, {39, 100, 31},
    {36, 481, 60}, {68, 160, 20}, {68, 167, 20},
};

TEST(Encode, FrameHeaderAndPayloadLengthPerType) {
  const std::vector<int16_t> signal = voice::testing::SineSweep(481);
  for (const EncodeLength& c : kEncodeLengths) {
    uint8_t state[HI_VOICE_STATE_BYTES];
    uint8_t frame[HI_VOICE_MAX_FRAME_BYTES + 16];
    std::memset(frame, 0xAA, sizeof frame);
    HI_VOICE_EncReset(state, c.type);
    ASSERT_EQ(HI_VOICE_EncodeFrame(state, signal.data(), frame, c.count), 0);
    EXPECT_EQ(frame[0] | (frame[1] << 8), 0x0100) << c.type;
    EXPECT_EQ(frame[2] | (frame[3] << 8), c.words) << "type " << c.type << " count " << c.count;
    EXPECT_EQ(frame[4 + 2 * c.words], 0xAA) << "nothing written past the frame";
  }
}

TEST(Decode, ArgumentChecks) {
  uint8_t state[HI_VOICE_STATE_BYTES];
  int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
  int32_t count = 99;
  Frame frame = MakeFrame(80);
  HI_VOICE_DecReset(state, 1);
  EXPECT_EQ(HI_VOICE_DecodeFrame(nullptr, frame.data(), samples, &count), HI_VOICE_ERR_NULL_STATE);
  EXPECT_EQ(count, 0) << "the count is cleared first";
  EXPECT_EQ(HI_VOICE_DecodeFrame(state, nullptr, samples, &count), HI_VOICE_ERR_NULL_INPUT);
  EXPECT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), nullptr, &count), HI_VOICE_ERR_NULL_OUTPUT);
  EXPECT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), samples, nullptr), HI_VOICE_ERR_NULL_OUTPUT);
  HI_VOICE_DecReset(state, 200);
  EXPECT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), samples, &count), HI_VOICE_ERR_DEC_TYPE);
}

TEST(Decode, FlagsBits8And9MustRead01) {
  uint8_t state[HI_VOICE_STATE_BYTES];
  int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
  int32_t count;
  HI_VOICE_DecReset(state, 1);
  for (uint16_t flags : {0x0000, 0x0200, 0x0300, 0xFEFF}) {
    Frame frame = MakeFrame(80, flags);
    EXPECT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), samples, &count), HI_VOICE_ERR_DEC_FLAGS)
        << std::hex << flags;
    EXPECT_EQ(count, 0);
  }
  for (uint16_t flags : {0x0100, 0x0500, 0x01FF}) {
    Frame frame = MakeFrame(80, flags);
    EXPECT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), samples, &count), 0) << std::hex << flags;
  }
}

struct LengthRule {
  int type;
  int words;
  int samples;  // -1: rejected with HI_VOICE_ERR_DEC_LENGTH
};

constexpr LengthRule kLengthRules[] = {
    // G.711: up to 240 words, 2L a multiple of 80.
    {1, 80, 160},
    {1, 40, 80},
    {1, 240, 480},
    {1, 81, -1},
    {1, 0, -1},
    {1, 250, -1},
    {2, 120, 240},
    {65, 80, 160},
    {65, 81, -1},
    {66, 200, 400},
    {66, 20, -1},
    // DVI4 with header: 4(L - 2) samples; a frame shorter than its header is refused.
    {3, 42, 160},
    {3, 122, 480},
    {3, 2, 0},
    {3, 123, -1},
    {3, 1, -1},
    {3, 0, -1},
    // IMA: the header's sample and 4(L - 2) more.
    {35, 42, 161},
    {35, 122, 481},
    {35, 2, 1},
    {35, 123, -1},
    {35, 1, -1},
    // Headerless DVI4: 4L samples.
    {67, 1, 4},
    {67, 40, 160},
    {67, 122, 488},
    {67, 123, -1},
    {67, 0, -1},
    // G.726 16 kbit/s and the word packing: 8L, up to 60 words.
    {4, 20, 160},
    {4, 60, 480},
    {4, 15, -1},
    {4, 70, -1},
    {36, 10, 80},
    {68, 20, 160},
    {68, 61, -1},
    {68, 5, -1},
    // 24 kbit/s: floor(16L / 3), up to 90 words.
    {5, 30, 160},
    {5, 31, -1},
    {5, 15, 80},
    {5, 90, 480},
    {5, 91, -1},
    {37, 45, 240},
    {37, 46, -1},
    // 32 kbit/s: 4L, up to 120 words.
    {6, 40, 160},
    {6, 120, 480},
    {6, 30, -1},
    {6, 140, -1},
    {38, 20, 80},
    // 40 kbit/s: floor(16L / 5), up to 150 words.
    {7, 50, 160},
    {7, 150, 480},
    {7, 26, -1},
    {7, 175, -1},
    {39, 25, 80},
    {39, 51, -1},
};

TEST(Decode, LengthRulesPerType) {
  for (const LengthRule& rule : kLengthRules) {
    uint8_t state[HI_VOICE_STATE_BYTES];
    int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
    int32_t count = -1;
    Frame frame = MakeFrame(rule.words);
    HI_VOICE_DecReset(state, rule.type);
    const int32_t result = HI_VOICE_DecodeFrame(state, frame.data(), samples, &count);
    if (rule.samples < 0) {
      EXPECT_EQ(result, HI_VOICE_ERR_DEC_LENGTH) << "type " << rule.type << " L " << rule.words;
      EXPECT_EQ(count, 0);
    } else {
      EXPECT_EQ(result, 0) << "type " << rule.type << " L " << rule.words;
      EXPECT_EQ(count, rule.samples) << "type " << rule.type << " L " << rule.words;
    }
  }
}

TEST(Decode, OutOfRangeStepIndexInAHeaderIsClampedToTheTable) {
  uint8_t state[HI_VOICE_STATE_BYTES];
  int16_t clamped[HI_VOICE_MAX_DECODE_SAMPLES], top[HI_VOICE_MAX_DECODE_SAMPLES];
  int32_t count;
  for (int type : {3, 35}) {
    Frame frame = MakeFrame(42);
    frame[6] = 250;
    HI_VOICE_DecReset(state, type);
    ASSERT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), clamped, &count), 0);
    frame[6] = 88;
    HI_VOICE_DecReset(state, type);
    ASSERT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), top, &count), 0);
    EXPECT_EQ(0, std::memcmp(clamped, top, count * sizeof(int16_t))) << type;
  }
}

TEST(Decode, G711PacksTheFirstCodeInTheLowOrHighByte) {
  uint8_t state[HI_VOICE_STATE_BYTES];
  int16_t low[HI_VOICE_MAX_DECODE_SAMPLES], high[HI_VOICE_MAX_DECODE_SAMPLES];
  int32_t count;
  Frame frame = MakeFrame(40);
  HI_VOICE_DecReset(state, 1);
  ASSERT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), low, &count), 0);
  HI_VOICE_DecReset(state, 65);
  ASSERT_EQ(HI_VOICE_DecodeFrame(state, frame.data(), high, &count), 0);
  for (int i = 0; i < count; i += 2) {
    EXPECT_EQ(low[i], high[i + 1]);
    EXPECT_EQ(low[i + 1], high[i]);
  }
}

// Codes left over when the payload bits are not a multiple of the width: the MSB-first frame
// carries the same whole codes as the LSB-first one, re-packed, with zero padding.
TEST(Encode, MsbPackingOfAnUnevenPayloadCarriesTheWholeCodes) {
  const std::vector<int16_t> signal = voice::testing::SpeechLikeNoise(100);
  uint8_t state[HI_VOICE_STATE_BYTES];
  uint8_t lsb[HI_VOICE_MAX_FRAME_BYTES], msb[HI_VOICE_MAX_FRAME_BYTES];
  HI_VOICE_EncReset(state, 7);
  ASSERT_EQ(HI_VOICE_EncodeFrame(state, signal.data(), lsb, 100), 0);
  HI_VOICE_EncReset(state, 39);
  ASSERT_EQ(HI_VOICE_EncodeFrame(state, signal.data(), msb, 100), 0);
  ASSERT_EQ(msb[2], 31);
  uint8_t codes[99];
  voice::UnpackLsbFirst(lsb + 4, 99, 5, codes);
  uint8_t expected[62];
  voice::PackMsbFirst(codes, 99, 5, expected, 62);
  EXPECT_EQ(0, std::memcmp(expected, msb + 4, 62));
}

TEST(TransCode, ResetAndArgumentChecks) {
  std::vector<uint8_t> block(HI_VOICE_TRANSCODER_BYTES);
  Frame frame = MakeFrame(80);
  EXPECT_EQ(HI_VOICE_TransCodeReset(block.data(), 101), HI_VOICE_ERR_TRANS_TYPE);
  EXPECT_EQ(HI_VOICE_TransCodeReset(block.data(), 96), HI_VOICE_ERR_TRANS_TYPE);
  EXPECT_EQ(HI_VOICE_TransCodeReset(nullptr, 97), HI_VOICE_ERR_TRANS_STATE);
  EXPECT_EQ(HI_VOICE_TransCodeFrame(nullptr, frame.data()), HI_VOICE_ERR_TRANS_STATE);
  EXPECT_EQ(HI_VOICE_TransCodeFrame(block.data(), frame.data()), HI_VOICE_ERR_TRANS_TYPE)
      << "a block that was never reset";
  const int pairs[][3] = {{97, 1, 65}, {98, 2, 66}, {99, 3, 67}, {100, 4, 68}};
  for (const auto& p : pairs) {
    ASSERT_EQ(HI_VOICE_TransCodeReset(block.data(), p[0]), 0);
    EXPECT_EQ(StoredType(block.data()), p[1]);
    EXPECT_EQ(StoredType(block.data() + HI_VOICE_TRANSCODER_DECODER_OFFSET), p[2]);
  }
  EXPECT_EQ(HI_VOICE_TransCodeFrame(block.data(), nullptr), HI_VOICE_ERR_NULL_INPUT);
}

// Encodes `signal` as `from`, transcodes with `trans`, and checks the result equals what a
// decoder of `from` followed by an encoder of `to` would have produced.
void ExpectTranscodes(int trans, int from, int to, int per_frame) {
  const std::vector<int16_t> signal = voice::testing::SpeechLikeNoise(per_frame * 8, 5);
  std::vector<uint8_t> block(HI_VOICE_TRANSCODER_BYTES);
  uint8_t enc_from[HI_VOICE_STATE_BYTES], dec_from[HI_VOICE_STATE_BYTES];
  uint8_t enc_to[HI_VOICE_STATE_BYTES];
  ASSERT_EQ(HI_VOICE_TransCodeReset(block.data(), trans), 0);
  HI_VOICE_EncReset(enc_from, from);
  HI_VOICE_DecReset(dec_from, from);
  HI_VOICE_EncReset(enc_to, to);
  for (int f = 0; f < 8; ++f) {
    uint8_t frame[HI_VOICE_MAX_FRAME_BYTES], expected[HI_VOICE_MAX_FRAME_BYTES];
    ASSERT_EQ(HI_VOICE_EncodeFrame(enc_from, &signal[f * per_frame], frame, per_frame), 0);
    int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
    int32_t count;
    ASSERT_EQ(HI_VOICE_DecodeFrame(dec_from, frame, samples, &count), 0);
    const int16_t* source = from >= 65 && from <= 66 ? &signal[f * per_frame] : samples;
    ASSERT_EQ(HI_VOICE_EncodeFrame(enc_to, source, expected, per_frame), 0);
    ASSERT_EQ(HI_VOICE_TransCodeFrame(block.data(), frame), 0);
    const int words = expected[2];
    EXPECT_EQ(0, std::memcmp(frame, expected, 4 + 2 * words)) << "pair " << trans << " frame " << f;
  }
}

TEST(TransCode, EachPairRewritesIntoTheStandardPacking) {
  ExpectTranscodes(97, 65, 1, 160);
  ExpectTranscodes(98, 66, 2, 160);
  ExpectTranscodes(99, 67, 3, 160);
  ExpectTranscodes(100, 68, 4, 160);
}

TEST(TransCode, DecoderErrorsPassThrough) {
  std::vector<uint8_t> block(HI_VOICE_TRANSCODER_BYTES);
  HI_VOICE_TransCodeReset(block.data(), 100);
  Frame frame = MakeFrame(15);
  EXPECT_EQ(HI_VOICE_TransCodeFrame(block.data(), frame.data()), HI_VOICE_ERR_DEC_LENGTH);
  frame = MakeFrame(20, 0x0200);
  EXPECT_EQ(HI_VOICE_TransCodeFrame(block.data(), frame.data()), HI_VOICE_ERR_DEC_FLAGS);
}

}  // namespace
