// Sizes on screen are kept in 96-dpi units and turned into a screen's pixels only at the edge
// (drawing, hit tests), so that what is computed between (the strip's columns, a clip's bytes)
// is the same at every screen scale.
#pragma once

// The screen density of the layout's units: 100 %.
constexpr int BaseDpi = 96;

// The scales the skin's pictures are drawn at: 100, 125, 150 and 200 %.
inline constexpr int SkinDpis[] = {96, 120, 144, 192};

// The scale the window is drawn at on a screen of `screenDpi`: the largest skin scale not above
// it, so the window is always drawn crisp from pictures made for it (96 below 96).
int SkinDpiFor(int screenDpi);

// The pixels that `units` 96-dpi units cover at `dpi`, to the nearest pixel (halves outward).
int ToPixels(int units, int dpi);
// The 96-dpi unit that holds pixel `pixels` at `dpi`, to the nearest unit (halves upward): at
// 96 dpi and above, ToUnits(ToPixels(u, dpi), dpi) == u.
int ToUnits(int pixels, int dpi);

// The resource id of picture `pictureId` as drawn for skin scale `skinDpi`: the 100 % id plus
// 1000 (125 %), 2000 (150 %) or 3000 (200 %); the 100 % id for any other scale.
int ScaledPictureId(int pictureId, int skinDpi);
