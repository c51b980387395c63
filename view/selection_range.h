// From the two x positions of a selection dragged on the whole-song strip to a byte range of
// the working audio's samples.
#pragma once
#include <cstdint>

#include "session/clip_range.h"

// The anchor gives the start: its fraction of the strip in single precision, times the data
// length in extended precision, truncated. The caret gives the end, quantised to whole
// hundredths of the song: percent = trunc((caretX - 63) / 437 * 100), end = trunc(L * percent
// (64-bit) / 100.0). The two are swapped when the user dragged leftwards. Both stay within
// 0..dataBytes whatever the positions.
ClipByteRange SelectionByteRange(int anchorX, int caretX, uint32_t dataBytes);
