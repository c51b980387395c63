#include "app/window_shape.h"

namespace {

// The column runs of one row that are not pure red, as [left, right) pairs appended to `runs`.
void RowRuns(const uint8_t* row, int columns, std::vector<int>& runs) {
  runs.clear();
  int x = 0;
  while (x < columns) {
    while (x < columns && IsOutsideColour(row + 3 * x)) ++x;
    if (x == columns) break;
    int left = x;
    while (x < columns && !IsOutsideColour(row + 3 * x)) ++x;
    runs.push_back(left);
    runs.push_back(x);
  }
}

}  // namespace

bool BuildShapeRects(std::span<const uint8_t> pixels, int width, int height, size_t stride,
                     std::vector<ShapeRect>& rects, bool bottomUp) {
  rects.clear();
  if (width < 0 || height < 0) return false;
  if (width == 0 || height == 0) return true;
  size_t rowBytes = static_cast<size_t>(width) * 3;
  if (stride < rowBytes) return false;
  if (pixels.size() < rowBytes ||
      (pixels.size() - rowBytes) / stride < static_cast<size_t>(height - 1))
    return false;

  const int columns = ShapeColumns(width);
  std::vector<int> runs, bandRuns;
  size_t bandStart = 0;  // index in `rects` of the current band's first rectangle
  int bandBottom = -1;   // the row after the current band; -1: no band open
  for (int y = 0; y < height; ++y) {
    size_t stored = static_cast<size_t>(bottomUp ? height - 1 - y : y);
    RowRuns(pixels.data() + stored * stride, columns, runs);
    if (runs.empty()) {
      bandBottom = -1;
      continue;
    }
    if (bandBottom == y && runs == bandRuns) {
      // The same runs as the row above: the band grows by one row.
      for (size_t i = bandStart; i < rects.size(); ++i) rects[i].bottom = y + 1;
      bandBottom = y + 1;
      continue;
    }
    bandStart = rects.size();
    for (size_t i = 0; i < runs.size(); i += 2) rects.push_back({runs[i], y, runs[i + 1], y + 1});
    bandRuns.swap(runs);
    bandBottom = y + 1;
  }
  return true;
}

ShapeRect ShapeBounds(const std::vector<ShapeRect>& rects) {
  if (rects.empty()) return {};
  ShapeRect bounds = rects.front();
  for (const ShapeRect& r : rects) {
    if (r.left < bounds.left) bounds.left = r.left;
    if (r.top < bounds.top) bounds.top = r.top;
    if (r.right > bounds.right) bounds.right = r.right;
    if (r.bottom > bounds.bottom) bounds.bottom = r.bottom;
  }
  return bounds;
}
