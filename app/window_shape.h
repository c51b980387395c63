// The main window's shape: the area of the background picture that is not pure red, as the
// row runs of a region.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A rectangle of a region, right and bottom exclusive.
struct ShapeRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const ShapeRect&) const = default;
};

// Only this many columns of a picture take part in the shape: its width rounded down to a
// multiple of 4 (550 becomes 548), so the last columns of the panel picture are always outside.
constexpr int ShapeColumns(int width) { return width > 0 ? width & ~3 : 0; }

// True for the colour that marks the outside of the shape: exactly red 255, green 0, blue 0.
// `bgr` points at one pixel of 24-bit rows (blue first).
inline bool IsOutsideColour(const uint8_t* bgr) {
  return bgr[0] == 0 && bgr[1] == 0 && bgr[2] == 255;
}

// Builds the shape of a 24-bit picture (rows of blue-green-red pixels, top row first, each row
// `stride` bytes after the previous; with `bottomUp` the bottom row comes first, as pictures
// are stored) as the rectangles of a region: the rectangle (0, 0) to
// (ShapeColumns(width), height) less every pure red pixel. The result is in the banded form that
// regions keep: bands top to bottom, each band one run of rows with the same column runs, its
// rectangles left to right and never touching; two bands that touch have different runs.
// Returns false, with `rects` empty, when the sizes are negative or the pixels do not cover
// `height` rows of `width` pixels.
bool BuildShapeRects(std::span<const uint8_t> pixels, int width, int height, size_t stride,
                     std::vector<ShapeRect>& rects, bool bottomUp = false);

// The smallest rectangle holding every rectangle of `rects` (all zero when it is empty).
ShapeRect ShapeBounds(const std::vector<ShapeRect>& rects);
