#include "view/preview_cursor.h"

#include <algorithm>

namespace {

// Rounds to single precision here and now: on x87 the compiler may otherwise keep the value
// in a wider register, and a truncation a hair below a whole number would then come out
// differently on different builds.
float Single(float value) {
  volatile float rounded = value;
  return rounded;
}

}  // namespace

uint32_t StripByteOffset(int x, uint32_t dataSize) {
  x = std::clamp(x, WaveArea::Left, WaveArea::Right);
  float fraction = Single(static_cast<float>(x - WaveArea::Left) / static_cast<float>(WaveArea::Width));
  float offset = Single(static_cast<float>(dataSize) * fraction);
  // Single precision can round a product near dataSize above it (and above 32 bits).
  if (offset >= 4294967296.0f) return dataSize;
  return std::min(static_cast<uint32_t>(offset), dataSize);
}

uint32_t AlignToFrame(uint32_t offset, uint32_t blockAlign) {
  if (blockAlign <= 1) return offset;
  return offset - offset % blockAlign;
}

uint32_t PreviewStartByte(int x, StripWindow shown, uint32_t dataSize, uint32_t blockAlign) {
  const uint64_t songFrames = blockAlign ? dataSize / blockAlign : 0;
  if (!Zoomed(shown, songFrames)) return AlignToFrame(StripByteOffset(x, dataSize), blockAlign);
  const uint64_t frame = std::min(FrameForStripX(x, shown.first, shown.frames), songFrames);
  return static_cast<uint32_t>(frame * blockAlign);
}

int PreviewStartX(int anchorX, int caretX) {
  return anchorX > 1 && anchorX < caretX ? anchorX : caretX;
}

int PreviewCursorX(uint32_t playCursor, uint32_t dataSize, uint32_t samplesPerSecond) {
  uint32_t whole = samplesPerSecond ? dataSize / samplesPerSecond : 0;
  uint32_t played = samplesPerSecond ? playCursor / samplesPerSecond : 0;
  if (whole == 0) {
    // Fewer bytes than one step: count bytes so that the cursor still moves.
    whole = dataSize;
    played = playCursor;
  }
  if (whole == 0) return WaveArea::Left;
  // A cursor far past the data (it cannot be, but it is read from a device) still lands
  // right of the strip, without overflowing.
  played = std::min<uint64_t>(played, 2ull * whole);
  float percent = Single(Single(static_cast<float>(played) / static_cast<float>(whole)) * 100.0f);
  return static_cast<int>(Single(Single(WaveArea::Width * percent) / 100.0f)) + WaveArea::Left;
}

int ShownPreviewCursorX(uint32_t playCursor, StripWindow shown, uint32_t dataSize,
                        uint32_t samplesPerSecond, uint32_t blockAlign) {
  const int wholeSongX = PreviewCursorX(playCursor, dataSize, samplesPerSecond);
  const uint64_t songFrames = blockAlign ? dataSize / blockAlign : 0;
  if (!Zoomed(shown, songFrames) || wholeSongX > WaveArea::Right) return wholeSongX;
  return StripXForFrame(playCursor / blockAlign, shown.first, shown.frames);
}

PreviewTick DecidePreviewTick(bool playing, int cursorX, int parkedCaretX, int parkedAnchorX) {
  PreviewTick tick;
  if (!playing) {
    tick.restore = true;
    tick.caretX = parkedCaretX;
    return tick;
  }
  int end = parkedCaretX > parkedAnchorX ? parkedCaretX : parkedAnchorX;
  if (parkedCaretX != parkedAnchorX && cursorX >= end) tick.stop = true;
  if (cursorX > WaveArea::Right) {
    tick.restore = true;
    tick.stop = true;
    tick.caretX = parkedCaretX;
    return tick;
  }
  tick.caretX = cursorX;
  return tick;
}
