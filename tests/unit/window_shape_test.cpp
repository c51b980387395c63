// The window's shape from row runs, the status picture choice, and the committed artwork that
// both rely on.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "app/packed_dib.h"
#include "app/status_picture.h"
#include "app/window_shape.h"
#include "resources/resource_ids.h"

namespace {

struct Image {
  int width = 0, height = 0;
  size_t stride = 0;
  std::vector<uint8_t> bgr;  // top row first
  const uint8_t* At(int x, int y) const { return &bgr[static_cast<size_t>(y) * stride + 3 * x]; }
  void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = &bgr[static_cast<size_t>(y) * stride + 3 * x];
    p[0] = b, p[1] = g, p[2] = r;
  }
};

Image Blank(int width, int height, size_t padding = 0) {
  Image image{width, height, static_cast<size_t>(width) * 3 + padding, {}};
  image.bgr.assign(image.stride * height, 200);
  return image;
}

bool Inside(const std::vector<ShapeRect>& rects, int x, int y) {
  for (const ShapeRect& r : rects)
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

// The banded form that regions keep; EqualRgn compares that form, not just the area.
void ExpectBanded(const std::vector<ShapeRect>& rects) {
  for (size_t i = 0; i < rects.size(); ++i) {
    const ShapeRect& r = rects[i];
    ASSERT_LT(r.left, r.right);
    ASSERT_LT(r.top, r.bottom);
    if (i == 0) continue;
    const ShapeRect& p = rects[i - 1];
    if (p.top == r.top) {
      ASSERT_EQ(p.bottom, r.bottom) << "rectangles of one band share their rows";
      ASSERT_LT(p.right, r.left) << "runs of a band are sorted and never touch";
    } else {
      ASSERT_LE(p.bottom, r.top) << "bands do not overlap";
    }
  }
  // Two touching bands must differ, otherwise they would be one band.
  size_t start = 0;
  std::vector<std::pair<int, int>> previous;
  int previousBottom = -1;
  while (start < rects.size()) {
    size_t end = start;
    std::vector<std::pair<int, int>> runs;
    while (end < rects.size() && rects[end].top == rects[start].top)
      runs.push_back({rects[end].left, rects[end].right}), ++end;
    if (previousBottom == rects[start].top) {
      ASSERT_NE(runs, previous) << "row " << previousBottom;
    }
    previous = runs;
    previousBottom = rects[start].bottom;
    start = end;
  }
}

void ExpectShapeMatchesPixels(const Image& image) {
  std::vector<ShapeRect> rects;
  ASSERT_TRUE(BuildShapeRects(image.bgr, image.width, image.height, image.stride, rects));
  ExpectBanded(rects);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      bool expected = x < ShapeColumns(image.width) && !IsOutsideColour(image.At(x, y));
      ASSERT_EQ(Inside(rects, x, y), expected) << "pixel " << x << "," << y;
    }
  }
}

TEST(WindowShape, RunsCoverExactlyTheNonRedPixels) {
  std::mt19937 random(5);
  // Widths on both sides of a multiple of 4, padded rows, and patterns from sparse to dense:
  // holes, separate islands, repeated rows that merge into bands and rows that are all red.
  for (int width : {1, 3, 4, 7, 33, 64})
    for (int density : {0, 5, 50, 95, 100}) {
      Image image = Blank(width, 23, (4 - width * 3 % 4) % 4);
      for (int y = 0; y < image.height; ++y) {
        if (y % 7 == 3) continue;  // an untouched row
        for (int x = 0; x < width; ++x)
          if (static_cast<int>(random() % 100) < density) image.Set(x, y, 255, 0, 0);
        if (y % 5 == 1 && y + 1 < image.height)  // the next row repeats this one
          std::copy_n(image.At(0, y), width * 3, &image.bgr[(y + 1) * image.stride]);
      }
      SCOPED_TRACE("width " + std::to_string(width) + " density " + std::to_string(density));
      ExpectShapeMatchesPixels(image);
    }
}

TEST(WindowShape, OnlyExactRedIsOutside) {
  Image image = Blank(8, 4);
  image.Set(0, 0, 255, 0, 0);
  image.Set(1, 0, 254, 0, 0);
  image.Set(2, 0, 255, 1, 0);
  image.Set(3, 0, 255, 0, 1);
  image.Set(6, 1, 255, 0, 0);  // the whole rectangle is red on row 3
  for (int x = 0; x < 8; ++x) image.Set(x, 3, 255, 0, 0);
  std::vector<ShapeRect> rects;
  ASSERT_TRUE(BuildShapeRects(image.bgr, 8, 4, image.stride, rects));
  std::vector<ShapeRect> expected = {{1, 0, 8, 1}, {0, 1, 6, 2}, {7, 1, 8, 2}, {0, 2, 8, 3}};
  EXPECT_EQ(rects, expected);
  EXPECT_EQ(ShapeBounds(rects), (ShapeRect{0, 0, 8, 3}));
}

TEST(WindowShape, BottomUpRowsGiveTheSameShape) {
  // Pictures are stored bottom row first; the shape read that way is the one of the picture.
  Image image = Blank(13, 7, 3);
  for (int x = 2; x < 9; ++x) image.Set(x, 1, 255, 0, 0);
  for (int y = 0; y < 7; ++y) image.Set(y, y, 255, 0, 0);
  image.Set(12, 6, 255, 0, 0);
  std::vector<uint8_t> stored(image.bgr.size());
  for (int y = 0; y < image.height; ++y)
    std::copy_n(&image.bgr[image.stride * (image.height - 1 - y)], image.stride,
                &stored[image.stride * y]);
  std::vector<ShapeRect> topDown, bottomUp;
  ASSERT_TRUE(BuildShapeRects(image.bgr, image.width, image.height, image.stride, topDown));
  ASSERT_TRUE(BuildShapeRects(stored, image.width, image.height, image.stride, bottomUp, true));
  EXPECT_EQ(topDown, bottomUp);
  EXPECT_FALSE(Inside(bottomUp, 3, 1));
  EXPECT_TRUE(Inside(bottomUp, 3, 2));
}

TEST(WindowShape, RefusesPixelsThatDoNotCoverThePicture) {
  std::vector<uint8_t> pixels(4 * 12 * 3, 0);
  std::vector<ShapeRect> rects{{1, 1, 2, 2}};
  EXPECT_TRUE(BuildShapeRects(pixels, 4, 12, 12, rects));
  EXPECT_EQ(rects.size(), 1u);
  EXPECT_FALSE(BuildShapeRects(pixels, 4, 13, 12, rects));  // one row short
  EXPECT_TRUE(rects.empty());
  EXPECT_FALSE(BuildShapeRects(pixels, 4, 12, 11, rects));  // rows overlap
  EXPECT_FALSE(BuildShapeRects(pixels, 5, 12, 15, rects));  // last row cut short
  EXPECT_FALSE(BuildShapeRects(pixels, -4, 12, 12, rects));
  EXPECT_FALSE(BuildShapeRects({}, 4, 1, 12, rects));
  EXPECT_TRUE(BuildShapeRects({}, 0, 0, 0, rects));
  EXPECT_TRUE(rects.empty());
  // The last row needs no padding; the fifth column is beyond the rounded width.
  std::vector<uint8_t> tight(2 * 16 + 15, 0);
  EXPECT_TRUE(BuildShapeRects(tight, 5, 3, 16, rects));
  EXPECT_EQ(rects, (std::vector<ShapeRect>{{0, 0, 4, 3}}));
  tight.pop_back();
  EXPECT_FALSE(BuildShapeRects(tight, 5, 3, 16, rects));
}

TEST(StatusPicture, FirstTrueFlagWinsInItsOrder) {
  for (int bits = 0; bits < 16; ++bits) {
    StatusFlags f{(bits & 8) != 0, (bits & 4) != 0, (bits & 2) != 0, (bits & 1) != 0};
    StatusPicture p = ChooseStatusPicture(f);
    SCOPED_TRACE(bits);
    if (f.uploaded) EXPECT_EQ(p.pictureId, IDB_STATUS_UPLOADED);
    else if (f.converted) EXPECT_EQ(p.pictureId, IDB_STATUS_CONVERTED);
    else if (f.loading) EXPECT_EQ(p.pictureId, IDB_STATUS_LOADING);
    else if (f.justLoaded) EXPECT_EQ(p.pictureId, IDB_STATUS_LOADED);
    else EXPECT_EQ(p.pictureId, IDB_STATUS_IDLE);
    EXPECT_EQ(p.x, 172);
    bool high = p.pictureId == IDB_STATUS_CONVERTED || p.pictureId == IDB_STATUS_LOADED;
    EXPECT_EQ(p.y, high ? 205 : 220);
  }
}

// ---- The committed artwork.

// Reads an uncompressed 24-bit BMP file into top-down rows.
bool ReadBmp24(const std::string& path, Image& image) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::vector<uint8_t> bytes;
  uint8_t buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  PackedDib dib;
  if (!BmpFileTopDownRows(bytes, image.bgr, dib)) return false;
  image.width = dib.width;
  image.height = dib.height;
  image.stride = dib.stride;
  return true;
}

std::string ArtPath(const char* name) {
  return std::string(QV_TEST_SOURCE_DIR) + "/resources/art/" + name;
}

TEST(Artwork, PicturesHaveTheirSizesAndAre24Bit) {
  struct Expected { const char* file; int width, height; };
  const Expected pictures[] = {
      {"background.bmp", 550, 355}, {"wave_canvas.bmp", 468, 108}, {"play.bmp", 81, 27},
      {"stop.bmp", 81, 27},         {"convert.bmp", 81, 27},       {"browse.bmp", 81, 27},
      {"upload.bmp", 81, 27},       {"exit.bmp", 12, 12},          {"help.bmp", 50, 19},
      {"wallpaper.bmp", 140, 19},   {"profile.bmp", 63, 19},       {"status_idle.bmp", 150, 50},
      {"status_loading.bmp", 150, 50}, {"status_loaded.bmp", 300, 50},
      {"status_converted.bmp", 300, 50}, {"status_uploaded.bmp", 300, 50},
  };
  for (const Expected& e : pictures) {
    Image image;
    ASSERT_TRUE(ReadBmp24(ArtPath(e.file), image)) << e.file;
    EXPECT_EQ(image.width, e.width) << e.file;
    EXPECT_EQ(image.height, e.height) << e.file;
  }
  // The icon file holds one 32 by 32 picture.
  FILE* icon = std::fopen(ArtPath("quavella.ico").c_str(), "rb");
  ASSERT_NE(icon, nullptr);
  uint8_t head[8] = {};
  ASSERT_EQ(std::fread(head, 1, sizeof head, icon), sizeof head);
  std::fclose(icon);
  EXPECT_EQ(head[2], 1);  // icon, not cursor
  EXPECT_EQ(head[4], 1);  // one entry
  EXPECT_EQ(head[6], 32);
  EXPECT_EQ(head[7], 32);
}

TEST(Artwork, StripCanvasIsWhiteUnderTwoBlackRows) {
  Image canvas;
  ASSERT_TRUE(ReadBmp24(ArtPath("wave_canvas.bmp"), canvas));
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x) {
      const uint8_t* p = canvas.At(x, y);
      uint8_t expected = y < 2 ? 0 : 255;
      ASSERT_TRUE(p[0] == expected && p[1] == expected && p[2] == expected) << x << "," << y;
    }
}

TEST(Artwork, PanelShapeHoldsEveryControlAndNoStrayRed) {
  Image panel;
  ASSERT_TRUE(ReadBmp24(ArtPath("background.bmp"), panel));
  std::vector<ShapeRect> rects;
  ASSERT_TRUE(BuildShapeRects(panel.bgr, panel.width, panel.height, panel.stride, rects));
  // One piece without holes: every row inside is a single run, so no pure red pixel was left
  // inside the panel by accident.
  for (size_t i = 1; i < rects.size(); ++i) EXPECT_NE(rects[i].top, rects[i - 1].top);
  ShapeRect bounds = ShapeBounds(rects);
  EXPECT_GT(bounds.left, 0);
  EXPECT_GT(bounds.top, 0);
  EXPECT_LT(bounds.right, 548) << "the panel keeps clear of the last columns";
  EXPECT_LT(bounds.bottom, 355);
  // The border of the window (one pixel) lies outside, whatever the offset of the shape.
  for (int y = 0; y < panel.height; ++y)
    for (int x : {0, 1, 546, 547, 548, 549})
      EXPECT_TRUE(IsOutsideColour(panel.At(x, y))) << x << "," << y;

  // Controls in client coordinates; the background is drawn one pixel higher, so client
  // (x, y) shows picture (x, y + 1). The window's shape is shifted to match, so each control
  // must lie inside the panel with its picture pixels.
  struct Box { const char* name; int x, y, w, h; };
  const Box controls[] = {
      {"play", 70, 180, 81, 27},        {"convert", 240, 180, 81, 27},
      {"browse", 70, 270, 81, 27},      {"upload", 405, 180, 81, 27},
      {"exit", 520, 48, 12, 12},        {"help", 425, 40, 50, 19},
      {"wallpaper", 62, 40, 140, 19},   {"profile", 350, 40, 63, 19},
      {"path", 176, 270, 190, 23},      {"size", 455, 270, 50, 23},
      {"progress", 70, 240, 74, 20},    {"strip", 63, 67, 437, 103},
      {"status wide", 172, 205, 300, 65}, {"status narrow", 172, 220, 150, 50},
  };
  for (const Box& c : controls) {
    for (int y = c.y; y < c.y + c.h; ++y) {
      for (int x = c.x; x < c.x + c.w; ++x) {
        ASSERT_TRUE(Inside(rects, x, y + 1)) << c.name << " at client " << x << "," << y;
      }
    }
  }
}

}  // namespace
