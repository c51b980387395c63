#include <gtest/gtest.h>

#include "session/screen_scale.h"

namespace {

TEST(ScreenScale, PixelsOfUnits) {
  struct Case { int units, dpi, pixels; };
  for (Case c : {Case{550, 96, 550}, Case{550, 192, 1100}, Case{355, 192, 710},
                 Case{355, 144, 533}, Case{70, 120, 88}, Case{27, 120, 34}, Case{81, 120, 101},
                 Case{1, 120, 1}, Case{0, 144, 0}, Case{-1, 144, -2}, Case{-1, 192, -2}}) {
    EXPECT_EQ(ToPixels(c.units, c.dpi), c.pixels) << c.units << " at " << c.dpi;
  }
}

TEST(ScreenScale, UnitsOfPixels) {
  struct Case { int pixels, dpi, units; };
  for (Case c : {Case{120, 96, 120}, Case{240, 192, 120}, Case{600, 192, 300},
                 Case{241, 192, 121}, Case{180, 144, 120}, Case{1, 120, 1}, Case{0, 192, 0},
                 Case{-3, 192, -1}}) {
    EXPECT_EQ(ToUnits(c.pixels, c.dpi), c.units) << c.pixels << " at " << c.dpi;
  }
  // A hit test finds the unit that was drawn there, at every skin scale.
  for (int dpi : SkinDpis)
    for (int units = -20; units <= 600; ++units)
      ASSERT_EQ(ToUnits(ToPixels(units, dpi), dpi), units) << units << " at " << dpi;
}

TEST(ScreenScale, SkinScaleAndPictures) {
  struct Case { int screenDpi, skinDpi, backgroundId; };
  for (Case c : {Case{0, 96, 164}, Case{72, 96, 164}, Case{96, 96, 164}, Case{119, 96, 164},
                 Case{120, 120, 1164}, Case{144, 144, 2164}, Case{168, 144, 2164},
                 Case{192, 192, 3164}, Case{288, 192, 3164}}) {
    EXPECT_EQ(SkinDpiFor(c.screenDpi), c.skinDpi) << c.screenDpi;
    EXPECT_EQ(ScaledPictureId(164, SkinDpiFor(c.screenDpi)), c.backgroundId) << c.screenDpi;
  }
  EXPECT_EQ(ScaledPictureId(164, 168), 164);
}

}  // namespace
