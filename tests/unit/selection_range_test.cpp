#include <gtest/gtest.h>

#include "view/selection_range.h"

namespace {

TEST(SelectionByteRange, WorkedExampleOfTheStrip) {
  // 10,000,000 data bytes, anchor at x 64, caret at x 281: the single-precision fraction
  // 1/437 gives 22,883; the caret gives 49 % exactly.
  ClipByteRange r = SelectionByteRange(64, 281, 10000000);
  EXPECT_EQ(r.start, 22883u);
  EXPECT_EQ(r.end, 4900000u);
  // Dragged leftwards: the same range.
  r = SelectionByteRange(281, 64, 10000000);
  EXPECT_EQ(r.start, 0u);  // the caret end is quantised: trunc(1/437*100) = 0
  EXPECT_EQ(r.end, static_cast<uint32_t>(10000000.0L * static_cast<float>(218.0 / 437)));
}

TEST(SelectionByteRange, StartFollowsTheFloatFractionAndEndWholeHundredths) {
  // The exact ratio would give a different start than the float one here.
  const uint32_t length = 4000000000u;
  const float f = static_cast<float>(300.0 / 437);
  ClipByteRange r = SelectionByteRange(363, 499, length);
  EXPECT_EQ(r.start, static_cast<uint32_t>(static_cast<long double>(length) * f));
  EXPECT_NE(r.start, static_cast<uint32_t>(static_cast<long double>(length) * 300 / 437));
  // 436/437 -> 99 %; the 64-bit product does not overflow for a length near 4 GB.
  EXPECT_EQ(r.end, 3960000000u);
  // The right edge is the whole song.
  EXPECT_EQ(SelectionByteRange(63, 500, 12345).end, 12345u);
  EXPECT_EQ(SelectionByteRange(63, 500, 12345).start, 0u);
}

TEST(SelectionByteRange, PositionsOutsideTheStripStayWithinTheData) {
  ClipByteRange r = SelectionByteRange(10, 900, 5000);
  EXPECT_EQ(r.start, 0u);
  EXPECT_EQ(r.end, 5000u);
  r = SelectionByteRange(900, 10, 5000);
  EXPECT_EQ(r.start, 0u);
  EXPECT_EQ(r.end, 5000u);
  r = SelectionByteRange(200, 300, 0);
  EXPECT_EQ(r.start, 0u);
  EXPECT_EQ(r.end, 0u);
}

}  // namespace
