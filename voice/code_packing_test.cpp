#include "voice/code_packing.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace voice {
namespace {

constexpr uint8_t kCodes3[] = {5, 3, 7, 1, 0, 6, 2, 4};

TEST(CodePacking, LsbFirstPutsTheLowBitsOfAStraddlingCodeInTheFirstByte) {
  uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  PackLsbFirst(kCodes3, 8, 3, out, 4);
  EXPECT_EQ(out[0], 0xDD);
  EXPECT_EQ(out[1], 0x03);
  EXPECT_EQ(out[2], 0x8B);
  EXPECT_EQ(out[3], 0x00) << "bits past the last code are zero";
}

TEST(CodePacking, MsbFirstStartsAtTheTopBit) {
  uint8_t out[3];
  PackMsbFirst(kCodes3, 8, 3, out, 3);
  EXPECT_EQ(out[0], 0xAF);
  EXPECT_EQ(out[1], 0x91);
  EXPECT_EQ(out[2], 0x94);
}

TEST(CodePacking, WordPairsFillFromBits15And14Down) {
  const uint8_t codes[] = {0, 1, 2, 3, 3, 2, 1, 0};
  uint8_t out[2];
  PackWordPairs(codes, 1, out);
  EXPECT_EQ(out[0], 0xE4);  // low byte of 0x1BE4
  EXPECT_EQ(out[1], 0x1B);
  uint8_t back[8];
  UnpackWordPairs(out, 1, back);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 8), std::vector<uint8_t>(codes, codes + 8));
}

TEST(CodePacking, EveryWidthUnpacksWhatItPacked) {
  std::mt19937 random(3);
  for (int bits = 2; bits <= 5; ++bits) {
    for (int count : {1, 7, 80, 160, 481}) {
      std::vector<uint8_t> codes(count);
      for (auto& c : codes) c = random() & ((1 << bits) - 1);
      const int bytes = (count * bits + 7) / 8;
      std::vector<uint8_t> lsb(bytes), msb(bytes);
      std::vector<uint8_t> back_lsb(count), back_msb(count);
      PackLsbFirst(codes.data(), count, bits, lsb.data(), bytes);
      PackMsbFirst(codes.data(), count, bits, msb.data(), bytes);
      UnpackLsbFirst(lsb.data(), count, bits, back_lsb.data());
      UnpackMsbFirst(msb.data(), count, bits, back_msb.data());
      EXPECT_EQ(back_lsb, codes) << bits << " bits, " << count;
      EXPECT_EQ(back_msb, codes) << bits << " bits, " << count;
    }
  }
}

}  // namespace
}  // namespace voice
