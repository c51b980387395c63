// The strip's one owner of the selection: what it answers for dragged, held, zoomed and parked
// selections.
#include <gtest/gtest.h>

#include "view/selection_range.h"
#include "view/strip_selection.h"
#include "view/suggested_parts.h"

namespace {

constexpr SongExtent Song{437000 * 4, 4};  // 437,000 stereo 16-bit frames: 1,000 a column

TEST(StripSelection, AnswersForDraggedAndHeldSelections) {
  struct Case {
    const char* what;
    int anchor, caret;  // a drag on the whole-song strip (anchor -1: held `held` instead)
    FrameRange held;
    bool has;
    FrameRange frames;
  };
  const Case cases[] = {
      {"a drag rightwards", 100, 200, {}, true, {}},
      {"a drag leftwards", 200, 100, {}, true, {}},
      {"a click without a drag", 150, 150, {}, false, {}},
      {"held frames narrower than a column", -1, 0, {1000, 1010}, true, {1000, 1010}},
      {"held frames of no length", -1, 0, {5000, 5000}, false, {5000, 5000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StripSelection strip;
    strip.Enable(true);
    if (c.anchor == -1) {
      strip.Hold(c.held, Song);
      const ClipByteRange bytes = strip.ClipBytes(Song);
      EXPECT_EQ(bytes.start, c.held.start * 4);
      EXPECT_EQ(bytes.end, c.held.end * 4);
    } else {
      strip.ClearForClick();
      strip.StartAt(c.anchor, Song);
      strip.ExtendTo(c.caret, Song);
      const ClipByteRange expected = SelectionByteRange(c.anchor, c.caret, Song.dataBytes);
      EXPECT_EQ(strip.ClipBytes(Song).start, expected.start);
      EXPECT_EQ(strip.ClipBytes(Song).end, expected.end);
      // The columns' bytes as whole frames: the start rounded up, the end down.
      FrameRange frames;
      ASSERT_TRUE(strip.SelectedFrames(Song, &frames));
      EXPECT_EQ(frames.start, (expected.start + 3) / 4);
      EXPECT_EQ(frames.end, expected.end / 4);
      EXPECT_EQ(strip.HasUserSelection(), c.has);
      continue;
    }
    EXPECT_EQ(strip.HasUserSelection(), c.has);
    FrameRange frames;
    ASSERT_TRUE(strip.SelectedFrames(Song, &frames));
    EXPECT_EQ(frames.start, c.frames.start);
    EXPECT_EQ(frames.end, c.frames.end);
  }
}

TEST(StripSelection, ZoomedStripHoldsFramesAndMovesTheirColumns) {
  StripSelection strip;
  strip.Enable(true);
  strip.Hold({100000, 200000}, Song);
  EXPECT_EQ(strip.AnchorX(), 163);
  EXPECT_EQ(strip.CaretX(), 263);
  strip.Show({100000, 218500}, Song);  // 500 frames a column
  EXPECT_EQ(strip.AnchorX(), 63);
  EXPECT_EQ(strip.CaretX(), 263);
  // A drag on the zoomed strip is held in frames from its first click.
  strip.ClearForClick();
  strip.StartAt(113, Song);
  strip.ExtendTo(73, Song);
  FrameRange held;
  ASSERT_TRUE(strip.HeldFrames(&held));
  EXPECT_EQ(held.start, 105000u);
  EXPECT_EQ(held.end, 125000u);
  strip.ForgetZoom();
  EXPECT_EQ(strip.Shown(Song).frames, Song.Frames());
}

TEST(StripSelection, PreviewParksTheEndsAndPutsThemBack) {
  StripSelection strip;
  strip.Enable(true);
  strip.StartAt(100, Song);
  strip.ExtendTo(300, Song);
  strip.Park();
  strip.SetAnchorX(0);
  strip.SetCaretX(0);
  strip.Enable(false);
  EXPECT_EQ(strip.UserEnds().anchorX, 100);
  EXPECT_EQ(strip.UserEnds().endX, 300);
  EXPECT_TRUE(strip.Band().Empty());
  strip.Unpark();
  EXPECT_EQ(strip.AnchorX(), 100);
  EXPECT_EQ(strip.CaretX(), 300);
  EXPECT_TRUE(strip.Enabled());
  // Browse during a preview: the selection it would put back is none.
  strip.Park();
  strip.ClearParked();
  strip.Unpark();
  EXPECT_EQ(strip.AnchorX(), -1);
  EXPECT_EQ(strip.CaretX(), WaveArea::Left);
}

TEST(SuggestedParts, RulerTextNamesAChorusOnlyWhenSomethingRepeats) {
  const FrameRange parts[] = {{43200 * 441 / 10, 73200 * 441 / 10}, {0, 1323000}};
  SuggestedParts suggested;
  EXPECT_EQ(suggested.RulerText(44100), "");
  suggested.Set(parts, 2, true);
  EXPECT_EQ(suggested.RulerText(44100), "Suggested: chorus 0:43.20-1:13.20");
  suggested.Next();
  EXPECT_EQ(suggested.RulerText(44100), "Suggested: chorus 0:00.00-0:30.00");
  suggested.Next();
  EXPECT_EQ(suggested.CurrentIndex(), 0);
  suggested.Set(parts, 1, false);
  EXPECT_EQ(suggested.RulerText(44100), "Suggested: 0:43.20-1:13.20");
}

}  // namespace
