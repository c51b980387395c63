#include "view/selection_range.h"

#include <utility>

#include "view/strip_geometry.h"

namespace {

uint32_t ClampToData(long double value, uint32_t dataBytes) {
  if (!(value > 0.0L)) return 0;  // also NaN
  if (value >= static_cast<long double>(dataBytes)) return dataBytes;
  return static_cast<uint32_t>(value);  // truncation toward zero
}

}  // namespace

ClipByteRange SelectionByteRange(int anchorX, int caretX, uint32_t dataBytes) {
  // Single precision on purpose: the start follows the float fraction, not the exact ratio.
  // The product of a 32-bit length and a 24-bit mantissa is exact in extended precision.
  const float fraction =
      static_cast<float>((anchorX - static_cast<double>(WaveArea::Left)) / WaveArea::Width);
  const long double startProduct = static_cast<long double>(dataBytes) * fraction;

  int percent = static_cast<int>((caretX - WaveArea::Left) /
                                 static_cast<double>(WaveArea::Width) * 100.0);
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  const uint64_t endProduct = static_cast<uint64_t>(dataBytes) * static_cast<uint64_t>(percent);

  ClipByteRange range;
  range.start = ClampToData(startProduct, dataBytes);
  range.end = ClampToData(static_cast<long double>(static_cast<double>(endProduct) / 100.0), dataBytes);
  if (range.start > range.end) std::swap(range.start, range.end);
  return range;
}
