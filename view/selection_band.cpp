#include "view/selection_band.h"

#include <algorithm>

ColumnSpan BandStep(int from, int to) {
  ColumnSpan span{std::min(from, to), std::max(from, to)};
  span.left = std::max(span.left, BandMinX);
  span.right = std::min(span.right, BandMaxX);
  return span;
}

ColumnSpan BandColumns(int anchor, int caret) {
  if (anchor < 0) return {};
  return BandStep(anchor, caret);
}

bool BandLeftwardAfter(bool leftward, int from, int to) {
  if (to < from) return true;
  if (to > from) return false;
  return leftward;
}
