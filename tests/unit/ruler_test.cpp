#include "view/time_ruler.h"

#include <gtest/gtest.h>

namespace {

TEST(RulerLabel, MinutesDigitSpaceColonTwoDigitSeconds) {
  EXPECT_EQ(RulerLabel(0), "0 :00");
  EXPECT_EQ(RulerLabel(7), "0 :07");
  EXPECT_EQ(RulerLabel(59), "0 :59");
  EXPECT_EQ(RulerLabel(60), "1 :00");
  EXPECT_EQ(RulerLabel(90), "1 :30");
  EXPECT_EQ(RulerLabel(599), "9 :59");
  // Tens of minutes and hours are not shown.
  EXPECT_EQ(RulerLabel(600), "0 :00");
  EXPECT_EQ(RulerLabel(3600 + 61), "1 :01");
  EXPECT_EQ(RulerLabel(4294967295u).size(), 5u);
}

TEST(RulerLabelStep, TenthOfTheWholeSecondsAtLeastOne) {
  const uint32_t cd = 176400;
  EXPECT_EQ(RulerLabelStep(cd / 2, cd), 1u);       // under one second
  EXPECT_EQ(RulerLabelStep(19 * cd + cd - 1, cd), 1u);  // just under 20 s: 1 s apart
  EXPECT_EQ(RulerLabelStep(20 * cd, cd), 2u);
  EXPECT_EQ(RulerLabelStep(283 * cd, cd), 28u);    // rounded down
  EXPECT_EQ(RulerLabelStep(283 * cd, 0), 1u);      // a broken format block
  EXPECT_EQ(RulerLabelStep(0, cd), 1u);
}

}  // namespace
