#include <gtest/gtest.h>

#include "encoders/inprocess/m4r_segments.h"

namespace {

TEST(M4rSegments, TwoProcessorsAndFourSecondsMakeTwoSegmentsThatJoinOnTheFrameGrid) {
  struct Case {
    int64_t frames;
    int processors;
    int count;
    int64_t cut;  // where the segments join, when there are two
  } cases[] = {
      {0, 2, 1, 0},
      {4 * 44100 - 1, 8, 1, 0},
      {30 * 44100, 1, 1, 0},
      {4 * 44100, 2, 2, 88064},        // the middle, 88,200, is nearer 86 frames than 87
      {30 * 44100, 2, 2, 661504},
      {30 * 44100 + 2048, 16, 2, 662528},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.frames << " frames, " << c.processors << " processors");
    M4rSegment s[2];
    ASSERT_EQ(PlanM4rSegments(c.frames, c.processors, s), c.count);
    if (c.count == 1) {
      EXPECT_EQ(s[0].first, 0);
      EXPECT_EQ(s[0].end, c.frames);
      EXPECT_EQ(s[0].keepFrom, INT64_MIN);  // every packet, the encoder delay's too
      EXPECT_EQ(s[0].keepUntil, INT64_MAX);
      EXPECT_EQ(s[0].leadIn, 0);
      continue;
    }
    EXPECT_EQ(s[0].first, 0);
    EXPECT_EQ(s[0].end, c.cut + M4rLookahead);
    EXPECT_EQ(s[0].keepFrom, INT64_MIN);
    EXPECT_EQ(s[0].keepUntil, c.cut);
    EXPECT_EQ(s[1].first, c.cut - M4rPreroll);
    EXPECT_EQ(s[1].end, c.frames);
    EXPECT_EQ(s[1].keepFrom, c.cut);
    EXPECT_EQ(s[1].leadIn, M4rFrameSamples);
  }
}

}  // namespace
