// Arithmetic of the preview: where a strip x falls in the samples, where a preview starts,
// where the play cursor is drawn and what a timer tick does.
#pragma once
#include <cstdint>

#include "view/strip_geometry.h"
#include "view/strip_zoom.h"

// Byte offset into the samples that strip x stands for: dataSize x (x - 63) / 437, the fraction
// in single precision, truncated. x is held to the strip (63..500) and the offset to dataSize.
// Not aligned to a sample frame.
uint32_t StripByteOffset(int x, uint32_t dataSize);

// `offset` rounded down to a whole sample frame of `blockAlign` bytes (unchanged for 0 or 1).
uint32_t AlignToFrame(uint32_t offset, uint32_t blockAlign);

// Where a preview from strip x starts in the samples, on a whole frame, as the strip shows
// `shown`: on the whole song StripByteOffset aligned to a frame; zoomed, the first frame that
// column stands for there.
uint32_t PreviewStartByte(int x, StripWindow shown, uint32_t dataSize, uint32_t blockAlign);

// x where a preview starts: the anchor when it lies left of the caret (and above 1), otherwise
// the caret.
int PreviewStartX(int anchorX, int caretX);

// Strip x of the play cursor `playCursor` (bytes): the song is counted in steps of
// `samplesPerSecond` bytes, U = dataSize / R steps, the cursor in u = p / R steps, and x is
// 63 + truncate(437 x u / U). When the song is shorter than one step (U = 0) the cursor is
// counted in bytes instead; an empty song keeps the cursor at 63.
int PreviewCursorX(uint32_t playCursor, uint32_t dataSize, uint32_t samplesPerSecond);

// Strip x of the play cursor as the strip shows `shown`: on the whole song PreviewCursorX.
// Zoomed, the column of the frame being played (`blockAlign` bytes a frame), held at the
// strip's left or right edge while that frame lies before or after the shown frames; once
// PreviewCursorX runs past the strip (the cursor is past the song's data) that x, so that a
// preview ends as it does on the whole song.
int ShownPreviewCursorX(uint32_t playCursor, StripWindow shown, uint32_t dataSize,
                        uint32_t samplesPerSecond, uint32_t blockAlign);

// What one timer tick does.
struct PreviewTick {
  bool restore = false;  // put the parked selection back, kill the timer
  bool stop = false;     // stop the buffer and repaint the window
  int caretX = 0;        // where the caret goes (when not restoring)
};

// `playing`: the buffer reports it plays. `cursorX`: PreviewCursorX of its play cursor.
// A preview ends when the buffer stops (restore), when the cursor reaches the selection's
// right end (stop; the restore follows on the next tick) or when it runs past the strip
// (stop and restore at once). A zero-width selection has no end: it plays to the song's end.
PreviewTick DecidePreviewTick(bool playing, int cursorX, int parkedCaretX, int parkedAnchorX);
