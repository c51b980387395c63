#include <gtest/gtest.h>

#include "import/mp3_import_progress.h"

namespace {

// Feeds the whole file in 20-byte pieces; returns how often the bar moved.
int RunThrough(Mp3ImportProgress& p, int64_t fileBytes, int32_t* last) {
  int moves = 0;
  int32_t previous = p.Low();
  for (int64_t consumed = 20; consumed < fileBytes + 40; consumed += 20) {
    int32_t at = p.Advance(consumed);
    if (at < 0) continue;
    EXPECT_GT(at, previous);
    EXPECT_LE(at, p.High());
    previous = at;
    ++moves;
  }
  *last = previous;
  return moves;
}

TEST(Mp3ImportProgress, RangeFollowsFileSizeWithinSixteenBits) {
  EXPECT_EQ(Mp3ImportProgress(1000).High(), 200);
  EXPECT_EQ(Mp3ImportProgress(327675).High(), 65535);
  EXPECT_EQ(Mp3ImportProgress(5000000).High(), 65535);  // would wrap in 16 bits
  EXPECT_EQ(Mp3ImportProgress(3).High(), 2);
  EXPECT_EQ(Mp3ImportProgress(-1).High(), 2);
}

TEST(Mp3ImportProgress, RunsFromEmptyToFullOnceInFewMoves) {
  for (int64_t size : {int64_t{0}, int64_t{37}, int64_t{1000}, int64_t{400000},
                       int64_t{4000000}, int64_t{21000000}}) {
    Mp3ImportProgress p(size);
    int32_t last = 0;
    int moves = RunThrough(p, size, &last);
    EXPECT_EQ(last, p.High()) << size;
    EXPECT_LE(moves, 260) << size;
    EXPECT_EQ(p.Advance(size + 1000), -1) << "no move once full";
  }
  // Halfway through, the bar is about half full.
  Mp3ImportProgress p(4000000);
  int32_t at = p.Advance(2000000);
  EXPECT_NEAR(at, 65535 / 2, 300);
}

}  // namespace
