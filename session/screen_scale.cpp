#include "session/screen_scale.h"

#include <cstdint>

namespace {

// a / b rounded down, for b > 0 and a of either sign.
int64_t FloorDivide(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

int SkinDpiFor(int screenDpi) {
  int chosen = SkinDpis[0];
  for (int dpi : SkinDpis)
    if (dpi <= screenDpi) chosen = dpi;
  return chosen;
}

int ToPixels(int units, int dpi) {
  const int64_t twice = 2 * static_cast<int64_t>(units) * dpi;
  const int64_t pixels = (twice >= 0 ? twice + BaseDpi : twice - BaseDpi) / (2 * BaseDpi);
  return static_cast<int>(pixels);
}

int ToUnits(int pixels, int dpi) {
  if (dpi <= 0) return pixels;
  return static_cast<int>(
      FloorDivide(2 * static_cast<int64_t>(pixels) * BaseDpi + dpi, 2 * static_cast<int64_t>(dpi)));
}

int ScaledPictureId(int pictureId, int skinDpi) {
  for (int k = 1; k < static_cast<int>(sizeof SkinDpis / sizeof SkinDpis[0]); ++k)
    if (SkinDpis[k] == skinDpi) return pictureId + 1000 * k;
  return pictureId;
}
