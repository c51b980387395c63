#include <gtest/gtest.h>

#include "analysis/proposal_length.h"
#include "formats/ringtone_formats.h"

TEST(ProposalLength, EachFormatsLength) {
  const struct { int32_t format; int32_t ms; } cases[] = {
      {RingtoneM4r, 30000},  // the length rule
      {RingtoneOgg, 40000},
      {RingtoneQcp, 30000},  // 100 KB hold a minute: the 30-second cap
      {RingtoneAmr, 30000},
      {RingtoneMp3, 17200},  // 48 kbit/s
      {RingtoneMmf, 25800},  // 4-bit ADPCM at 8 kHz
      {RingtoneWav, 6400},   // 16-bit 8 kHz
      {RingtoneFormatCount, 0},
      {-1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ProposalMilliseconds(c.format), c.ms) << c.format;
}
