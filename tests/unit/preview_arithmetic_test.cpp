#include <gtest/gtest.h>

#include "view/preview_cursor.h"

namespace {

TEST(PreviewByteOffset, StripXToByteOffset) {
  const uint32_t size = 437u * 1000;
  EXPECT_EQ(StripByteOffset(63, size), 0u);
  // The leftmost clickable column, 1/437 of the way in: single precision truncates to one
  // byte short of 1000, which is why the seek is aligned to a frame afterwards.
  EXPECT_EQ(StripByteOffset(64, size), 999u);
  EXPECT_EQ(StripByteOffset(500, size), size);
  EXPECT_EQ(StripByteOffset(281, 1000), static_cast<uint32_t>(1000.0f * (218.0f / 437.0f)));
  // Outside the strip (the parked anchor 0, a stray x) is held to it.
  EXPECT_EQ(StripByteOffset(0, size), 0u);
  EXPECT_EQ(StripByteOffset(-5, size), 0u);
  EXPECT_EQ(StripByteOffset(900, size), size);
  EXPECT_EQ(StripByteOffset(300, 0), 0u);
}

TEST(PreviewByteOffset, SinglePrecisionNeverOvershootsTheData) {
  // Large sizes lose low bits in single precision; the result stays inside the data.
  for (uint32_t size : {16777217u, 49999999u, 50000001u, 0xFFFFFFFFu}) {
    for (int x = 63; x <= 500; ++x) ASSERT_LE(StripByteOffset(x, size), size) << size << " " << x;
    EXPECT_GE(StripByteOffset(500, size), size - size / (1u << 23));
  }
}

TEST(PreviewByteOffset, SeekRoundsDownToAWholeFrame) {
  EXPECT_EQ(AlignToFrame(1003, 4), 1000u);
  EXPECT_EQ(AlignToFrame(1000, 4), 1000u);
  EXPECT_EQ(AlignToFrame(1003, 6), 1002u);  // 24-bit stereo
  EXPECT_EQ(AlignToFrame(1003, 1), 1003u);
  EXPECT_EQ(AlignToFrame(1003, 0), 1003u);  // a broken block align changes nothing
}

TEST(PreviewStart, ByteUnderTheColumnAsTheStripIsShown) {
  // 10 s of 16-bit stereo at 44100 Hz: 441000 frames.
  const uint32_t block = 4, frames = 441000, size = frames * block;
  struct Case { const char* name; int x; StripWindow shown; uint32_t byte; };
  const Case cases[] = {
      // The whole song: the strip's own arithmetic, aligned to a frame.
      {"whole song, left edge", 63, {0, frames}, 0},
      {"whole song, middle", 281, {0, frames}, AlignToFrame(StripByteOffset(281, size), block)},
      {"whole song, right edge", 500, {0, frames}, size},
      // Zoomed on 1 s from 5 s: column 281 (218 of 437 in) is at 5 s + 218/437 s, not at the
      // middle of the song.
      {"zoomed, left edge", 63, {220500, 44100}, 220500 * block},
      {"zoomed, middle", 281, {220500, 44100}, (220500 + (218 * 44100 + 436) / 437) * block},
      {"zoomed, right edge", 500, {220500, 44100}, (220500 + 44100) * block},
      {"zoomed to the song's end", 500, {frames - 437, 437}, size},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PreviewStartByte(c.x, c.shown, size, block), c.byte) << c.name;
  EXPECT_EQ(PreviewStartByte(300, {0, 0}, 0, 4), 0u);  // no song
}

TEST(PreviewStart, LeftEndOfTheSelectionOrTheCaret) {
  EXPECT_EQ(PreviewStartX(100, 300), 100);  // dragged left to right
  EXPECT_EQ(PreviewStartX(300, 100), 100);  // dragged right to left: the caret is the left end
  EXPECT_EQ(PreviewStartX(-1, 250), 250);   // no selection
  EXPECT_EQ(PreviewStartX(1, 250), 250);    // not above 1
  EXPECT_EQ(PreviewStartX(2, 250), 2);
  EXPECT_EQ(PreviewStartX(200, 200), 200);  // zero width
}

TEST(PreviewCursor, AdvancesInStepsOfOneSampleRateOfBytes) {
  // 10 s of 16-bit stereo at 44100 Hz: U = 40 steps of a quarter second.
  const uint32_t rate = 44100, size = 10 * rate * 4;
  EXPECT_EQ(PreviewCursorX(0, size, rate), 63);
  EXPECT_EQ(PreviewCursorX(rate - 1, size, rate), 63);
  EXPECT_EQ(PreviewCursorX(rate, size, rate), 63 + static_cast<int>(437 * 2.5f / 100));
  EXPECT_EQ(PreviewCursorX(size / 2, size, rate), 63 + 218);
  EXPECT_EQ(PreviewCursorX(size, size, rate), 500);
  EXPECT_GT(PreviewCursorX(size + rate, size, rate), 500);  // past the end: runs off the strip
  EXPECT_GT(PreviewCursorX(0xFFFFFFFFu, size, rate), 500);
  for (uint32_t p = 0; p + rate <= size; p += rate)
    ASSERT_LE(PreviewCursorX(p, size, rate), PreviewCursorX(p + rate, size, rate));
}

TEST(PreviewCursor, SongShorterThanOneStepStillMoves) {
  // 8-bit mono 8000 Hz with 4000 bytes: U = 0. Counted in bytes instead.
  EXPECT_EQ(PreviewCursorX(0, 4000, 8000), 63);
  EXPECT_EQ(PreviewCursorX(2000, 4000, 8000), 63 + 218);
  EXPECT_EQ(PreviewCursorX(4000, 4000, 8000), 500);
  EXPECT_EQ(PreviewCursorX(0, 0, 8000), 63);
  EXPECT_EQ(PreviewCursorX(100, 4000, 0), 63 + 10);  // no sample rate: bytes as well
}

TEST(PreviewCursor, ColumnOfThePlayedFrameAsTheStripIsShown) {
  // 10 s of 16-bit stereo at 44100 Hz: 441000 frames; zoomed on 1 s from 5 s.
  const uint32_t rate = 44100, block = 4, frames = 441000, size = frames * block;
  const StripWindow whole = {0, frames}, zoomed = {220500, 44100};
  struct Case { const char* name; uint32_t playCursor; StripWindow shown; int x; };
  const Case cases[] = {
      {"whole song, middle", size / 2, whole, 63 + 218},
      {"zoomed, first frame shown", 220500 * block, zoomed, 63},
      {"zoomed, half a second in", (220500 + 22050) * block, zoomed, 63 + 218},
      {"zoomed, before the shown frames: held at the left edge", 0, zoomed, 63},
      {"zoomed, after the shown frames: held at the right edge", 300000 * block, zoomed, 500},
      {"zoomed, the song's end", size, zoomed, 500},
      {"zoomed, past the data: runs off the strip", size + rate, zoomed,
       PreviewCursorX(size + rate, size, rate)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShownPreviewCursorX(c.playCursor, c.shown, size, rate, block), c.x) << c.name;
  // The whole song: the cursor's own arithmetic, every step.
  for (uint32_t p = 0; p <= size + rate; p += rate / 7)
    ASSERT_EQ(ShownPreviewCursorX(p, whole, size, rate, block), PreviewCursorX(p, size, rate));
}

TEST(PreviewTickDecision, EndsOfAPreview) {
  // The buffer stopped (Play pressed, or the song ended): restore the parked selection.
  PreviewTick t = DecidePreviewTick(false, 0, 300, 100);
  EXPECT_TRUE(t.restore);
  EXPECT_FALSE(t.stop);
  EXPECT_EQ(t.caretX, 300);

  // Playing inside the selection: the caret follows the cursor.
  t = DecidePreviewTick(true, 200, 300, 100);
  EXPECT_FALSE(t.restore);
  EXPECT_FALSE(t.stop);
  EXPECT_EQ(t.caretX, 200);

  // Reaching the right end, whichever end the anchor is: stop now, restore on the next tick.
  for (auto [caret, anchor] : {std::pair{300, 100}, std::pair{100, 300}}) {
    t = DecidePreviewTick(true, 300, caret, anchor);
    EXPECT_TRUE(t.stop);
    EXPECT_FALSE(t.restore);
    EXPECT_EQ(t.caretX, 300);
  }

  // Zero width: no end inside the song; it plays on.
  t = DecidePreviewTick(true, 480, 150, 150);
  EXPECT_FALSE(t.stop);
  EXPECT_EQ(t.caretX, 480);

  // No selection: the caret is the end and is reached at once.
  t = DecidePreviewTick(true, 200, 200, -1);
  EXPECT_TRUE(t.stop);

  // Past the strip: stop and restore at once.
  t = DecidePreviewTick(true, 501, 150, 150);
  EXPECT_TRUE(t.stop);
  EXPECT_TRUE(t.restore);
  EXPECT_EQ(t.caretX, 150);
}

}  // namespace
