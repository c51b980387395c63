// Zoom of the strip: the frames it shows after zooming in and out, fitting a selection and
// scrolling, always inside the song and never fewer than one a column.
#include <gtest/gtest.h>

#include "view/strip_zoom.h"

namespace {

constexpr uint64_t Song = 80000;

TEST(StripZoom, WindowsStayInsideTheSong) {
  struct Case { StripWindow got, expected; const char* what; };
  const Case cases[] = {
      {ZoomBy(WholeSong(Song), true, 40000, Song), {20000, 40000}, "in around the middle"},
      {ZoomBy(WholeSong(Song), true, 1000, Song), {0, 40000}, "in near the start"},
      {ZoomBy(WholeSong(Song), true, 79000, Song), {40000, 40000}, "in near the end"},
      {ZoomBy({20000, 40000}, false, 40000, Song), {0, 80000}, "out to the whole song"},
      {ZoomBy({0, 80000}, false, 40000, Song), {0, 80000}, "out past the whole song"},
      {ZoomBy({1000, 600}, true, 1300, Song), {1082, 437}, "in no further than 437"},
      {FitSelection({10000, 30000}, Song), {9000, 22000}, "a selection and a twentieth beside"},
      {FitSelection({100, 110}, Song), {0, 437}, "a tiny selection"},
      {FitSelection({0, 80000}, Song), {0, 80000}, "the whole song"},
      {ScrollBy({20000, 40000}, 1, Song), {24000, 40000}, "a tenth later"},
      {ScrollBy({20000, 40000}, -6, Song), {0, 40000}, "earlier than the start"},
      {ScrollBy({20000, 40000}, 9, Song), {40000, 40000}, "later than the end"},
      {ScrollBy(WholeSong(Song), 3, Song), {0, 80000}, "nothing to scroll"},
      {ShowAround(50, 1000, 300), {0, 300}, "a song shorter than 437 frames"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got.first, c.expected.first) << c.what;
    EXPECT_EQ(c.got.frames, c.expected.frames) << c.what;
  }
  EXPECT_FALSE(Zoomed(WholeSong(Song), Song));
  EXPECT_TRUE(Zoomed({0, 79999}, Song));
}

}  // namespace
