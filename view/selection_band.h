// The selection band: the strip's columns between the anchor and the caret, shown inverted.
//
// The band is the half-open column range from the smaller to the larger of the two x
// positions: the left end's column is inverted, the right end's is not, so a zero-width
// selection shows nothing and the band is the same whichever way it was dragged. The caret
// itself is drawn by the system over its own column.
//
// Each pointer move inverts only the columns between the old and the new end, in the same
// half-open convention. Inverting [a, b) and then [b, c) (or [c, b), going back) is exactly
// [a, c): the range telescopes, so turning round, even across the anchor, never leaves a
// column inverted twice or not at all, and no correction at turning points is needed.
#pragma once

#include "view/strip_geometry.h"

constexpr int BandTop = WaveArea::TraceTop;
constexpr int BandBottom = WaveArea::Bottom;  // rows 87..169 are inverted
constexpr int BandMinX = WaveArea::Left;      // the strip's columns (exclusive bounds of the live area)
constexpr int BandMaxX = WaveArea::Right;

struct ColumnSpan {
  int left = 0;   // first column
  int right = 0;  // one past the last column; empty when right <= left
  bool Empty() const { return right <= left; }
  int Width() const { return Empty() ? 0 : right - left; }
};

// Columns to invert when the band's moving end goes from `from` to `to`.
ColumnSpan BandStep(int from, int to);

// The whole band for `anchor` and `caret`, cut to the strip (nothing for an anchor of -1).
ColumnSpan BandColumns(int anchor, int caret);

// The direction flag after a move from `from` to `to`: leftward when the end moved left,
// rightward when it moved right, unchanged when it did not move.
bool BandLeftwardAfter(bool leftward, int from, int to);
