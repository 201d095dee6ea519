#include "videolib/pixel_convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

struct Size {
  int w, h;
};
const Size kSizes[] = {{720, 576}, {352, 288}, {66, 7}, {8, 1},  {34, 5}, {17, 3},
                       {2, 2},     {64, 2},    {98, 3}, {18, 2}, {32, 3}};

// Each fast path against the plain formulas, at every SIMD level this processor has.
class ConverterLevels : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    pixel::SetSimdLevel(GetParam());
    if (pixel::SimdLevel() != GetParam()) GTEST_SKIP() << "level not available";
  }
  void TearDown() override { pixel::SetSimdLevel(99); }
};

TEST_P(ConverterLevels, AllConvertersMatchPlainFormulas) {
  uint32_t seed = 1;
  for (const Size s : kSizes) {
    SCOPED_TRACE(testing::Message() << s.w << "x" << s.h);
    const size_t n = static_cast<size_t>(s.w) * s.h;
    // Canary bytes beyond each output catch overruns.
    const Bytes y41p = Random(n * 3 / 2, seed++);
    Bytes fast(n * 2 + 64, 0xA5), ref(n * 2 + 64, 0xA5);
    pixel::Y41PToYuy2(y41p.data(), fast.data(), s.w, s.h);
    pixel::reference::Y41PToYuy2(y41p.data(), ref.data(), s.w, s.h);
    EXPECT_EQ(fast, ref) << "Y41PToYuy2";

    fast.assign(n * 2 + 64, 0x5A), ref.assign(n * 2 + 64, 0x5A);
    pixel::Y41PToYuv420p(y41p.data(), fast.data(), s.w, s.h);
    pixel::reference::Y41PToYuv420p(y41p.data(), ref.data(), s.w, s.h);
    EXPECT_EQ(fast, ref) << "Y41PToYuv420p";

    const Bytes i420 = Random(n * 3 / 2 + 4, seed++);
    fast.assign(n * 2 + 64, 1), ref.assign(n * 2 + 64, 1);
    pixel::Yuv420pToYuy2(i420.data(), fast.data(), s.w, s.h);
    pixel::reference::Yuv420pToYuy2_ex(i420.data(), i420.data() + n, i420.data() + n * 5 / 4,
                                       ref.data(), s.w, s.h);
    EXPECT_EQ(fast, ref) << "Yuv420pToYuy2";

    // The one-pass planar row against its two steps, row by row (odd widths: last column
    // unwritten by both).
    Bytes packed_row(s.w * 2 + 8), one_pass(n * 4 + 64, 4), two_steps(n * 4 + 64, 4);
    for (int row = 0; row < s.h; ++row) {
      const int c = pixel::Yuv420pChromaRow(row) * (s.w / 2);
      const uint8_t* y = i420.data() + static_cast<size_t>(row) * s.w;
      const uint8_t* u = i420.data() + n + c;
      const uint8_t* v = i420.data() + n * 5 / 4 + c;
      pixel::Yuv420pRowToXrgb(y, u, v, one_pass.data() + static_cast<size_t>(row) * s.w * 4, s.w);
      pixel::reference::Yuv420pToYuy2_ex(y, u, v, packed_row.data(), s.w, 1);
      pixel::reference::Yuy2ToXrgb(packed_row.data(),
                                   two_steps.data() + static_cast<size_t>(row) * s.w * 4, s.w, 1);
    }
    EXPECT_EQ(one_pass, two_steps) << "Yuv420pRowToXrgb";

    const Bytes yuy2 = Random(n * 2, seed++);
    fast.assign(n * 3 + 64, 2), ref.assign(n * 3 + 64, 2);
    pixel::Yuy2ToBgr24(yuy2.data(), fast.data(), s.w, s.h);
    pixel::reference::Yuy2ToBgr24(yuy2.data(), ref.data(), s.w, s.h);
    EXPECT_EQ(fast, ref) << "Yuy2ToBgr24";

    // XRGB holds each pixel's BGR24 bytes and a zero; an odd last column stays unwritten.
    Bytes xrgb(n * 4 + 64, 3), xrgb_ref(n * 4 + 64, 3);
    pixel::Yuy2ToXrgb(yuy2.data(), xrgb.data(), s.w, s.h);
    pixel::reference::Yuy2ToXrgb(yuy2.data(), xrgb_ref.data(), s.w, s.h);
    EXPECT_EQ(xrgb, xrgb_ref) << "Yuy2ToXrgb";
    for (size_t i = 0; i < n; ++i) {
      const uint8_t want[4] = {ref[3 * i], ref[3 * i + 1], ref[3 * i + 2], 0};
      const bool odd_last = s.w % 2 != 0 && i % s.w == static_cast<size_t>(s.w) - 1;
      if (odd_last) continue;
      ASSERT_EQ(0, std::memcmp(&xrgb[4 * i], want, 4)) << "Yuy2ToXrgb pixel " << i;
    }
  }
}

// Saturated corners of the colour space exercise the clamps in both directions.
TEST_P(ConverterLevels, BgrClampsExtremesLikeFormulas) {
  const int w = 64, h = 4;
  Bytes yuy2(w * h * 2);
  const uint8_t values[] = {0, 255, 16, 235, 128, 1, 254};
  for (size_t i = 0; i < yuy2.size(); ++i) yuy2[i] = values[(i * 7 + i / 5) % 7];
  Bytes fast(w * h * 3), ref(w * h * 3);
  pixel::Yuy2ToBgr24(yuy2.data(), fast.data(), w, h);
  pixel::reference::Yuy2ToBgr24(yuy2.data(), ref.data(), w, h);
  EXPECT_EQ(fast, ref);
}

TEST_P(ConverterLevels, PlanarRowsMatchTheirTwoStepsForEveryChromaPair) {
  // Every (U, V) pair once, beside neighbours that change, over luma that runs through its
  // whole range: the clamps and the sums of neighbouring chroma at their extremes.
  const int w = 4096;
  Bytes y(w), u(w / 2), v(w / 2), packed(w * 2), one_pass(w * 4), two_steps(w * 4);
  for (int row = 0; row < 65536 / (w / 2); ++row) {
    for (int i = 0; i < w / 2; ++i) {
      const int pair = row * (w / 2) + i;
      u[i] = static_cast<uint8_t>(pair >> 8);
      v[i] = static_cast<uint8_t>(pair * 37);
    }
    for (int x = 0; x < w; ++x) y[x] = static_cast<uint8_t>(x * 29 + row * 3);
    pixel::Yuv420pRowToXrgb(y.data(), u.data(), v.data(), one_pass.data(), w);
    pixel::reference::Yuv420pToYuy2_ex(y.data(), u.data(), v.data(), packed.data(), w, 1);
    pixel::reference::Yuy2ToXrgb(packed.data(), two_steps.data(), w, 1);
    ASSERT_EQ(one_pass, two_steps) << "row " << row;
  }
}

INSTANTIATE_TEST_SUITE_P(Simd, ConverterLevels, testing::Values(0, 1, 2, 3));

TEST(PlanarToYuy2, ChromaRowsFollowTheOneTwoTwoPattern) {
  const int w = 4, h = 7;
  Bytes y(w * h, 0), u(2 * 4), v(2 * 4);
  for (int r = 0; r < 4; ++r) u[r * 2] = u[r * 2 + 1] = 10 + r, v[r * 2] = v[r * 2 + 1] = 20 + r;
  Bytes out(w * h * 2);
  pixel::Yuv420pToYuy2_ex(y.data(), u.data(), v.data(), out.data(), w, h);
  const int expected_row[] = {0, 0, 0, 1, 1, 2, 2};
  for (int i = 0; i < h; ++i) {
    EXPECT_EQ(out[i * w * 2 + 1], 10 + expected_row[i]) << "row " << i;
    EXPECT_EQ(out[i * w * 2 + 3], 20 + expected_row[i]) << "row " << i;
  }
}

TEST(Y41P, GroupsUnpackInDocumentedOrder) {
  // U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7
  const uint8_t g[12] = {100, 0, 200, 1, 104, 2, 204, 3, 4, 5, 6, 7};
  uint8_t yuy2[16];
  pixel::Y41PToYuy2(g, yuy2, 8, 1);
  const uint8_t want[16] = {0, 100, 1, 200, 2, 100, 3, 200, 4, 104, 5, 204, 6, 104, 7, 204};
  EXPECT_EQ(Bytes(yuy2, yuy2 + 16), Bytes(want, want + 16));

  uint8_t two_rows[24];
  std::copy(g, g + 12, two_rows);
  std::copy(g, g + 12, two_rows + 12);
  two_rows[12 + 1] = 50;  // second row's Y0
  two_rows[12 + 0] = 99;  // second row's chroma is not used
  uint8_t planar[8 * 2 + 4 + 4];
  pixel::Y41PToYuv420p(two_rows, planar, 8, 2);
  EXPECT_EQ(planar[0], 0);
  EXPECT_EQ(planar[8], 50);
  const uint8_t chroma[8] = {100, 100, 104, 104, 200, 200, 204, 204};
  EXPECT_EQ(Bytes(planar + 16, planar + 24), Bytes(chroma, chroma + 8));
}

TEST(Yuy2ToBgr, KnownColoursAndLastPairUsesOwnChroma) {
  // Black, white, and a saturated blue pair at the row end (no successor).
  const uint8_t px[12] = {16, 128, 16, 128, 235, 128, 235, 128, 41, 240, 41, 110};
  uint8_t bgr[18];
  pixel::Yuy2ToBgr24(px, bgr, 6, 1);
  EXPECT_EQ(Bytes(bgr, bgr + 6), Bytes(6, 0));
  EXPECT_EQ(bgr[6], 255);
  EXPECT_EQ(bgr[7], 255);
  EXPECT_EQ(bgr[8], 255);
  // Pixel 1's chroma averages pair 0 with pair 1: cu = 0 + 0 here.
  EXPECT_EQ(Bytes(bgr + 12, bgr + 15), Bytes(bgr + 15, bgr + 18));
  const int y = 19077 * (41 - 16) + 8192, cu = 2 * (240 - 128), cv = 2 * (110 - 128);
  EXPECT_EQ(bgr[12], std::min(255, (y + 16525 * cu) >> 14));
  EXPECT_EQ(bgr[13], std::max(0, (y - 3209 * cu - 6660 * cv) >> 14));
  EXPECT_EQ(bgr[14], std::max(0, (y + 13075 * cv) >> 14));
}

// Every pixel converted alone gives the bytes converting its whole picture puts there, for
// a packed picture and for a planar one (through YUY2), at every column and row.
TEST_P(ConverterLevels, SampledPixelsMatchTheWholeConversion) {
  for (const Size s : kSizes) {
    if (s.w % 2 != 0) continue;  // the whole conversion leaves an odd last column unwritten
    SCOPED_TRACE(testing::Message() << s.w << "x" << s.h);
    const size_t n = static_cast<size_t>(s.w) * s.h;
    // Each chroma plane holds a row for every two picture rows, the last one too when h is odd.
    const size_t chroma = static_cast<size_t>(s.w / 2) * ((s.h + 1) / 2);
    const Bytes yuy2 = Random(n * 2, 7), planar = Random(n + 2 * chroma, 8);
    Bytes packed(n * 2), whole(n * 3), whole_planar(n * 3);
    pixel::Yuy2ToBgr24(yuy2.data(), whole.data(), s.w, s.h);
    const uint8_t* u = planar.data() + n;
    const uint8_t* v = u + chroma;
    pixel::Yuv420pToYuy2_ex(planar.data(), u, v, packed.data(), s.w, s.h);
    pixel::Yuy2ToBgr24(packed.data(), whole_planar.data(), s.w, s.h);
    // Halving (its own fast path), other shrinks, and every column.
    for (const int shown : {s.w / 2, s.w / 3, s.w / 2 + 1, s.w - 1, 1, s.w, s.w / 5, s.w / 8}) {
      if (shown < 1) continue;
      std::vector<int> cols(shown);
      pixel::SampleAxis(s.w, shown, cols.data());
      for (int y = 0; y < s.h; ++y) {
        Bytes row(shown * 3), planar_row(shown * 3), xrgb(shown * 4, 9), planar_xrgb(shown * 4, 9);
        const uint8_t* packed_row = &yuy2[y * s.w * 2];
        pixel::Yuy2RowToBgr24Sampled(packed_row, s.w, cols.data(), shown, row.data());
        pixel::Yuy2RowToXrgbSampled(packed_row, s.w, cols.data(), shown, xrgb.data());
        const int c = pixel::Yuv420pChromaRow(y) * (s.w / 2);
        pixel::Yuv420pRowToBgr24Sampled(&planar[y * s.w], u + c, v + c, s.w, cols.data(), shown,
                                        planar_row.data());
        pixel::Yuv420pRowToXrgbSampled(&planar[y * s.w], u + c, v + c, s.w, cols.data(), shown,
                                       planar_xrgb.data());
        for (int i = 0; i < shown; ++i) {
          const size_t at = (static_cast<size_t>(y) * s.w + cols[i]) * 3;
          ASSERT_EQ(0, std::memcmp(&row[i * 3], &whole[at], 3))
              << "x " << cols[i] << " y " << y << " of " << shown;
          ASSERT_EQ(0, std::memcmp(&planar_row[i * 3], &whole_planar[at], 3))
              << "x " << cols[i] << " y " << y << " of " << shown;
          ASSERT_EQ(0, std::memcmp(&xrgb[i * 4], &whole[at], 3)) << "XRGB x " << cols[i];
          ASSERT_EQ(0, std::memcmp(&planar_xrgb[i * 4], &whole_planar[at], 3))
              << "planar XRGB x " << cols[i];
          ASSERT_EQ(0, xrgb[i * 4 + 3] | planar_xrgb[i * 4 + 3]) << "XRGB x " << cols[i];
        }
      }
    }
  }
}

// Picking takes one load for near-equal sizes and enlargements, three within 24 words, a
// gather beyond: every spread, up to the row's last word, gives the plain picks.
TEST_P(ConverterLevels, PickedWordsAreThePlainPicks) {
  for (const int from : {720, 704, 352, 17, 9}) {
    // Exactly the row: the address sanitizer sees any read past it.
    std::vector<uint32_t> line(from);
    for (size_t i = 0; i < line.size(); ++i) line[i] = static_cast<uint32_t>(i * 2654435761u);
    for (const int to : {1440, 874, 721, 719, 500, 352, 240, 239, 100, 9, 8, 1}) {
      std::vector<int> cols(to);
      pixel::SampleAxis(from, to, cols.data());
      std::vector<uint32_t> out(to + 1, 7);
      pixel::PickWords(line.data(), cols.data(), from, out.data(), to);
      for (int i = 0; i < to; ++i) ASSERT_EQ(out[i], line[cols[i]]) << from << " to " << to;
      EXPECT_EQ(out[to], 7u) << from << " to " << to;
    }
  }
}

TEST(SampledRows, AxisPicksCentresLikeTheStretch) {
  int out[5];
  pixel::SampleAxis(704, 2, out);
  EXPECT_EQ(out[0], 176);
  EXPECT_EQ(out[1], 528);
  pixel::SampleAxis(3, 5, out);  // enlarging repeats pixels
  EXPECT_EQ(std::vector<int>(out, out + 5), (std::vector<int>{0, 0, 1, 2, 2}));
  pixel::SampleAxis(4, 4, out);
  EXPECT_EQ(std::vector<int>(out, out + 4), (std::vector<int>{0, 1, 2, 3}));
}

TEST(FlipRows, LastRowComesFirst) {
  const uint8_t src[6] = {1, 2, 3, 4, 5, 6};
  uint8_t dst[6];
  pixel::FlipRows(src, dst, 2, 3);
  const uint8_t want[6] = {5, 6, 3, 4, 1, 2};
  EXPECT_EQ(Bytes(dst, dst + 6), Bytes(want, want + 6));
}

}  // namespace
