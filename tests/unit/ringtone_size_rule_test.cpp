#include <gtest/gtest.h>

#include "encode/ringtone_size_rule.h"

namespace {

TEST(RingtoneSizeRule, HundredKilobytesPassAndOneMoreIsRefused) {
  EXPECT_FALSE(RingtoneTooLarge(RingtoneKilobytes(102400)));
  EXPECT_FALSE(RingtoneTooLarge(RingtoneKilobytes(103423)));
  EXPECT_EQ(RingtoneKilobytes(103423), 100);
  EXPECT_TRUE(RingtoneTooLarge(RingtoneKilobytes(103424)));
  EXPECT_EQ(RingtoneKilobytes(103424), 101);
  EXPECT_EQ(RingtoneKilobytes(-1), 0);
  EXPECT_EQ(RingtoneKilobytes(1023), 0);
}

TEST(RingtoneSizeRule, TextsTheUserSees) {
  EXPECT_EQ(SizeBoxText(37), "37KB");
  EXPECT_EQ(SizeBoxText(0), "0KB");
  EXPECT_EQ(OversizeMessage(101),
            "Sorry,ringtones greater than 100KB are not \nallowed for compatibility reasons. "
            "Please choose a shorter clip\n size and convert again, and then click upload:\n "
            "Current Clip Size: 101KB");
  EXPECT_NE(EncoderFailureMessage(1).find("wav2amr.exe"), std::string::npos);
  EXPECT_NE(EncoderFailureMessage(1).find("a.amr"), std::string::npos);
  EXPECT_NE(EncoderFailureMessage(0).find("ringq.dll"), std::string::npos);
  EXPECT_NE(EncoderFailureMessage(3).find("lame.exe"), std::string::npos);
  EXPECT_NE(EncoderFailureMessage(4).find("test.mmf"), std::string::npos);
  EXPECT_EQ(EncoderFailureMessage(9), "");
}

}  // namespace
