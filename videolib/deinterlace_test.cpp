#include "videolib/deinterlace.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TEST(Deinterlace, VectorAndPlainAgreeOnRandomPicturesOfAwkwardSizes) {
  std::mt19937 random(11);
  for (int width : {2, 8, 10, 176, 350, 352, 720}) {
    for (int height : {1, 2, 3, 5, 288}) {
      int row_bytes = width * 2;
      std::vector<uint8_t> source(static_cast<size_t>(row_bytes * height));
      for (auto& b : source) b = static_cast<uint8_t>(random());
      CDinterlace d;
      ASSERT_EQ(d.Setup(row_bytes, height), 1);
      std::vector<uint8_t> plain(source.size()), vector(source.size());
      d.Process(source.data(), plain.data(), CDinterlace::Kernel::kPlain);
      d.Process(source.data(), vector.data(), CDinterlace::Kernel::kVector);
      ASSERT_EQ(plain, vector) << width << "x" << height;
    }
  }
}

TEST(Deinterlace, BlendRoundsUpTwiceAndKeepsTheEdgeRows) {
  // One byte per row: rows 10, 21, 255, 0.
  std::vector<uint8_t> source = {10, 21, 255, 0};
  CDinterlace d;
  ASSERT_EQ(d.Setup(1, 4), 1);
  std::vector<uint8_t> out(4);
  d.Process(source.data(), out.data());
  EXPECT_EQ(out[0], 10);
  EXPECT_EQ(out[1], 77);   // avg(avg(10,255)=133, 21) = 77
  EXPECT_EQ(out[2], 133);  // avg(avg(21,0)=11, 255) = 133
  EXPECT_EQ(out[3], 0);
}

TEST(Deinterlace, RefusesEmptyAndOverTallPictures) {
  CDinterlace d;
  EXPECT_EQ(d.Setup(0, 10), 0);
  EXPECT_EQ(d.Setup(10, 0), 0);
  EXPECT_EQ(d.Setup(10, 2 * CDinterlace::kMaxFieldRows + 1), 0);
  EXPECT_FALSE(d.ready());
  EXPECT_EQ(d.Setup(10, 2 * CDinterlace::kMaxFieldRows), 1);
}

}  // namespace
