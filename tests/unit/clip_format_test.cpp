#include <gtest/gtest.h>

#include <cstring>

#include "import/clip_format.h"
#include "session/ringtone_format.h"

namespace {

TEST(ClipFormat, StereoCdRateForMp3M4rAndOggAndMonoTelephoneRateForEveryOtherValue) {
  uint8_t bytes[16];
  const uint8_t stereo[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
  for (int32_t format : {RingtoneMp3, RingtoneM4r, RingtoneOgg}) {
    ClipFormatBytes(ClipFormatFor(format), bytes);
    EXPECT_EQ(std::memcmp(bytes, stereo, 16), 0) << format;
  }

  const uint8_t mono[16] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0};
  for (int32_t format : {0, 1, 2, 4, 7, -1}) {
    ClipFormatBytes(ClipFormatFor(format), bytes);
    EXPECT_EQ(std::memcmp(bytes, mono, 16), 0) << format;
  }
}

TEST(ClipFormat, PlanRoundsAnOddStartUpAndHoldsTheRangeToTheData) {
  ClipPlan p = PlanClip(1001, 9001, 100000, 4);
  EXPECT_EQ(p.skipBytes, 1002u);
  EXPECT_EQ(p.clipBytes, 7999u);
  EXPECT_EQ(p.chunkBytes, 4096u);
  EXPECT_EQ(p.barMax, 1u);

  // The worked example of the strip arithmetic: start 22,883 is read from 22,884.
  p = PlanClip(22883, 4900000, 10000000, 4);
  EXPECT_EQ(p.skipBytes, 22884u);
  EXPECT_EQ(p.clipBytes, 4900000u - 22884u);
  EXPECT_EQ(p.barMax, (4900000u - 22884u) / 4096u);

  // An odd start one byte before the end leaves nothing; the bar's range is 1 to 0.
  p = PlanClip(501, 502, 100000, 2);
  EXPECT_EQ(p.skipBytes, 502u);
  EXPECT_EQ(p.clipBytes, 0u);
  EXPECT_EQ(p.barMax, 0u);

  // A range past a truncated data chunk reads only what is there.
  p = PlanClip(100, 5000, 1000, 2);
  EXPECT_EQ(p.clipBytes, 900u);
  p = PlanClip(3000, 5000, 1000, 2);
  EXPECT_EQ(p.skipBytes, 1000u);
  EXPECT_EQ(p.clipBytes, 0u);
  p = PlanClip(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 2);
  EXPECT_EQ(p.clipBytes, 0u);

  // The range stays within 16 bits; a block align of 0 gives no chunk size at all.
  EXPECT_EQ(PlanClip(0, 0xFFFFFFFEu, 0xFFFFFFFFu, 1).barMax, 0xFFFF);
  EXPECT_EQ(PlanClip(0, 5000, 5000, 0).chunkBytes, 0u);
}

// A selection narrower than one frame of the song is no clip.
TEST(ClipFormat, PlanCountsTheWholeFramesOfTheClip) {
  struct Case {
    uint32_t start, end, available;
    uint16_t block;
    uint32_t frames;
  } cases[] = {{400, 400, 400, 4, 0},    {400, 403, 1000, 4, 0},       {401, 405, 1000, 4, 0},
               {400, 404, 1000, 4, 1},   {0, 8000, 4000, 2, 2000},     {0, 8000, 8000, 0, 0},
               {1001, 9001, 100000, 4, 1999}};
  for (const Case& c : cases)
    EXPECT_EQ(PlanClip(c.start, c.end, c.available, c.block).clipFrames, c.frames) << c.start;
}

TEST(ClipFormat, AcmErrorNamesOfTheFiveKnownResults) {
  EXPECT_STREQ(AcmErrorName(5), "MMSYSERR_INVALHANDLE");
  EXPECT_STREQ(AcmErrorName(7), "MMSYSERR_NOMEM");
  EXPECT_STREQ(AcmErrorName(10), "MMSYSERR_INVALFLAG");
  EXPECT_STREQ(AcmErrorName(11), "MMSYSERR_INVALPARAM");
  EXPECT_STREQ(AcmErrorName(512), "ACMERR_NOTPOSSIBLE");
  EXPECT_EQ(AcmErrorName(0), nullptr);
  EXPECT_EQ(AcmErrorName(513), nullptr);
}

}  // namespace
