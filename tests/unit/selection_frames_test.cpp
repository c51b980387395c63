// A selection held in sample frames: its times as m:ss.cc, typed times read back and checked,
// nudges with their limits, and the strip's columns of frames.
#include <gtest/gtest.h>

#include <string>

#include "view/selection_frames.h"

namespace {

TEST(ClipTime, TextOfFrames) {
  struct Case { uint64_t frames; uint32_t rate; const char* text; };
  const Case cases[] = {
      {0, 8000, "0:00.00"},       {10000, 8000, "0:01.25"},   {44100 * 90, 44100, "1:30.00"},
      {8000 * 600, 8000, "10:00.00"}, {39, 8000, "0:00.00"},  {40, 8000, "0:00.01"},  // nearest
      {8000 * 60 - 1, 8000, "1:00.00"}, {123, 0, "0:00.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(ClipTimeText(c.frames, c.rate), c.text) << c.frames;
}

TEST(ClipTime, TypedTextReadAsTheNearestFrame) {
  struct Case { const char* text; bool ok; uint64_t frames; };
  const Case cases[] = {
      {"0:01.25", true, 10000}, {" 1:30.00 ", true, 720000}, {"0:03.5", true, 28000},
      {"12:00", true, 5760000}, {"0:00.00", true, 0},
      {"", false, 0}, {"1.25", false, 0}, {"0:1.25", false, 0}, {"0:60.00", false, 0},
      {"0:01.", false, 0}, {"0:01.255", false, 0}, {"a:01.25", false, 0}, {"0:01,25", false, 0},
      {"-0:01.25", false, 0}, {"0:01.25x", false, 0}, {"0:01:25", false, 0},
  };
  for (const Case& c : cases) {
    uint64_t frames = 99;
    EXPECT_EQ(ParseClipTime(c.text, 8000, &frames), c.ok) << '"' << c.text << '"';
    if (c.ok) EXPECT_EQ(frames, c.frames) << c.text;
  }
  uint64_t frames = 0;
  ASSERT_TRUE(ParseClipTime("0:00.01", 11025, &frames));
  EXPECT_EQ(frames, 110u);  // 110.25 frames
}

TEST(CheckTypedTimes, AcceptsASelectionOfTheSongAndSaysWhatIsWrong) {
  struct Case { const char* start; const char* end; const char* message; FrameRange range; };
  const Case cases[] = {
      {"0:01.25", "0:03.50", "", {10000, 28000}},
      {"0:00.00", "0:10.00", "", {0, 80000}},
      {"0:1.25", "0:03.50", "Please type the start as minutes, seconds and hundredths, like 0:12.50.", {}},
      {"0:01.25", "3.5", "Please type the end as minutes, seconds and hundredths, like 0:42.50.", {}},
      {"0:03.50", "0:03.50", "The end must come after the start.", {}},
      {"0:04.00", "0:03.50", "The end must come after the start.", {}},
      {"0:01.00", "0:10.01", "The song is only 0:10.00 long.", {}},
  };
  for (const Case& c : cases) {
    FrameRange range{1, 2};
    EXPECT_EQ(CheckTypedTimes(c.start, c.end, 8000, 80000, &range), c.message) << c.start << " " << c.end;
    if (std::string(c.message).empty()) {
      EXPECT_EQ(range.start, c.range.start);
      EXPECT_EQ(range.end, c.range.end);
    }
  }
}

TEST(NudgeSelection, MovesOneEdgeWithinItsLimits) {
  struct Case { FrameRange from; bool start; int32_t ms; FrameRange to; };
  const Case cases[] = {
      {{8000, 16000}, false, 10, {8000, 16080}},    {{8000, 16000}, false, -10, {8000, 15920}},
      {{8000, 16000}, true, 1000, {16000, 16000}},  {{8000, 16000}, true, -1000, {0, 16000}},
      {{40, 16000}, true, -10, {0, 16000}},         {{8000, 79990}, false, 1000, {8000, 80000}},
      {{8000, 8040}, false, -1000, {8000, 8000}},   {{8000, 16000}, true, 10, {8080, 16000}},
  };
  for (const Case& c : cases) {
    FrameRange to = NudgeSelection(c.from, c.start, c.ms, 8000, 80000);
    EXPECT_EQ(to.start, c.to.start) << c.from.start << ".." << c.from.end << " " << c.ms;
    EXPECT_EQ(to.end, c.to.end) << c.from.start << ".." << c.from.end << " " << c.ms;
  }
  FrameRange odd = NudgeSelection({0, 1000}, false, 10, 44100, 1000000);
  EXPECT_EQ(odd.end, 1441u);  // 441 frames
}

TEST(SelectionTimes, RulerText) {
  EXPECT_EQ(SelectionTimesText({10000, 28000}, 8000), "Start 0:01.25   End 0:03.50   Length 0:02.25");
}

TEST(StripColumns, FramesToColumnsAndBack) {
  struct Case { uint64_t frame, first, shown; int x; };
  const Case cases[] = {
      {0, 0, 80000, 63},     {80000, 0, 80000, 500}, {40000, 0, 80000, 281},
      {90000, 0, 80000, 500}, {100, 200, 1000, 63},  {700, 200, 1000, 281}, {5, 0, 0, 63},
  };
  for (const Case& c : cases) EXPECT_EQ(StripXForFrame(c.frame, c.first, c.shown), c.x) << c.frame;
  // The first frame of each column falls in that column.
  for (int x = 63; x <= 500; ++x)
    EXPECT_EQ(StripXForFrame(FrameForStripX(x, 1000, 80000), 1000, 80000), x) << x;
  EXPECT_EQ(FrameForStripX(10, 1000, 80000), 1000u);
  EXPECT_EQ(FrameForStripX(900, 1000, 80000), 81000u);
}

}  // namespace
