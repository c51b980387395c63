// From the two x positions of the selection to a byte range of the working audio's samples.
#pragma once
#include <cstdint>

// The waveform strip's left edge and width in client pixels (the window's WaveArea).
constexpr int SelectionStripLeft = 63;
constexpr int SelectionStripWidth = 437;

struct ClipByteRange {
  uint32_t start = 0;
  uint32_t end = 0;
};

// The anchor gives the start: its fraction of the strip in single precision, times the data
// length in extended precision, truncated. The caret gives the end, quantised to whole
// hundredths of the song: percent = trunc((caretX - 63) / 437 * 100), end = trunc(L * percent
// (64-bit) / 100.0). The two are swapped when the user dragged leftwards. Both stay within
// 0..dataBytes whatever the positions.
ClipByteRange SelectionByteRange(int anchorX, int caretX, uint32_t dataBytes);
