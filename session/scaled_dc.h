// Drawing in 96-dpi units on a surface of another scale.
#pragma once
#include <windows.h>

#include "session/screen_scale.h"

// While it lives, coordinates, sizes and fonts given to `dc` are 96-dpi units drawn at `dpi`
// pixels per inch; the surface's own mapping comes back when it ends. At 96 dpi it changes
// nothing, so drawing there is exactly as it always was.
class UnitsOnDc {
 public:
  UnitsOnDc(HDC dc, int dpi) : dc_(dc) {
    if (!dc || dpi == BaseDpi) return;
    saved_ = SaveDC(dc);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, BaseDpi, BaseDpi, nullptr);
    SetViewportExtEx(dc, dpi, dpi, nullptr);
  }
  ~UnitsOnDc() {
    if (saved_) RestoreDC(dc_, saved_);
  }
  UnitsOnDc(const UnitsOnDc&) = delete;
  UnitsOnDc& operator=(const UnitsOnDc&) = delete;

 private:
  HDC dc_;
  int saved_ = 0;
};
