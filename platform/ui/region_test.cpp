#include "platform/ui/region.h"

#include <gtest/gtest.h>

namespace platform::ui {
namespace {

TEST(Region, UnionKeepsRectanglesDisjointSoAreaCountsEachPixelOnce) {
  Region r(RECT{0, 0, 10, 10});
  r.Union(RECT{5, 5, 15, 15});
  r.Union(RECT{2, 2, 4, 4});  // already covered
  EXPECT_EQ(r.Area(), 100 + 100 - 25);
  RECT b = r.Bounds();
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.bottom, 15);
  EXPECT_TRUE(r.Contains(14, 14));
  EXPECT_FALSE(r.Contains(14, 2));
}

TEST(Region, SubtractPunchesAHoleAndIntersectClips) {
  Region r(RECT{0, 0, 10, 10});
  r.Subtract(RECT{3, 3, 7, 7});
  EXPECT_EQ(r.Area(), 100 - 16);
  EXPECT_FALSE(r.Contains(5, 5));
  EXPECT_TRUE(r.Contains(2, 5));
  r.Intersect(RECT{0, 0, 5, 5});
  EXPECT_EQ(r.Area(), 25 - 4);
  r.Offset(100, 0);
  EXPECT_TRUE(r.Contains(100, 0));
  r.Subtract(RECT{0, 0, 1000, 1000});
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(r.Bounds().right, 0);
}

TEST(Region, EmptyRectanglesAddNothing) {
  Region r(RECT{5, 5, 5, 10});
  EXPECT_TRUE(r.IsEmpty());
  r.Union(RECT{10, 10, 0, 0});
  EXPECT_TRUE(r.IsEmpty());
}

}  // namespace
}  // namespace platform::ui
