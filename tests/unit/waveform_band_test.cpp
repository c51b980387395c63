#include "view/selection_band.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace {

// The strip as a set of inverted columns, driven the way the window drives the band.
struct Strip {
  std::vector<char> columns = std::vector<char>(512, 0);
  int anchor = -1;
  int caret = 63;
  bool leftward = false;

  void Invert(const ColumnSpan& span) {
    for (int c = span.left; c < span.right; ++c) columns[c] ^= 1;
  }
  void Click(int x) {
    Clear();  // the canvas copy covers the old band
    anchor = caret = x;
  }
  void Drag(int x) {
    leftward = BandLeftwardAfter(leftward, caret, x);
    Invert(BandStep(caret, x));
    caret = x;
  }
  void Clear() { columns.assign(columns.size(), 0); }
  void Repaint() {
    Clear();
    Invert(BandColumns(anchor, caret));
  }
  std::set<int> Inverted() const {
    std::set<int> band;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c)
      if (columns[c]) band.insert(c);
    return band;
  }
  // The inverted columns are exactly those from the smaller end up to, not including, the
  // larger one.
  bool Exact() const {
    int low = std::min(anchor, caret), high = std::max(anchor, caret);
    for (int c = 0; c < static_cast<int>(columns.size()); ++c)
      if (columns[c] != (c >= low && c < high)) return false;
    return true;
  }
  std::set<int> Expected() const {
    std::set<int> band;
    for (int c = std::min(anchor, caret); c < std::max(anchor, caret); ++c) band.insert(c);
    return band;
  }
};

TEST(SelectionBand, EveryStepLeavesExactlyTheColumnsBetweenAnchorAndCaret) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> live(64, 499), action(0, 9), near(-3, 3);
  for (int walk = 0; walk < 200; ++walk) {
    Strip strip;
    strip.Click(live(random));
    for (int step = 0; step < 60; ++step) {
      int a = action(random);
      if (a == 0) {
        strip.Click(live(random));
      } else if (a == 1) {
        strip.Repaint();
      } else {
        // Small steps around the anchor make many turns and crossings.
        int x = a < 6 ? strip.anchor + near(random) : live(random);
        strip.Drag(std::clamp(x, 64, 499));
      }
      ASSERT_TRUE(strip.Exact()) << "walk " << walk << " step " << step;
    }
  }
}

TEST(SelectionBand, DraggingBackAcrossTheAnchorLeavesNoStrayColumn) {
  Strip strip;
  strip.Click(200);
  strip.Drag(230);
  strip.Drag(150);  // across the anchor in one move
  EXPECT_EQ(strip.Inverted(), strip.Expected());
  EXPECT_EQ(*strip.Inverted().begin(), 150);
  EXPECT_EQ(*strip.Inverted().rbegin(), 199);
  strip.Drag(200);  // back onto the anchor's own column: nothing left
  EXPECT_TRUE(strip.Inverted().empty());
  strip.Drag(201);
  EXPECT_EQ(strip.Inverted(), (std::set<int>{200}));
}

TEST(SelectionBand, BothDragDirectionsGiveTheSameBand) {
  Strip rightward, leftward;
  rightward.Click(120);
  for (int x = 121; x <= 300; x += 7) rightward.Drag(x);
  rightward.Drag(300);
  leftward.Click(300);
  for (int x = 299; x >= 120; x -= 11) leftward.Drag(x);
  leftward.Drag(120);
  EXPECT_EQ(rightward.Inverted(), leftward.Inverted());
  EXPECT_EQ(BandColumns(120, 300).left, BandColumns(300, 120).left);
  EXPECT_EQ(BandColumns(120, 300).right, BandColumns(300, 120).right);
}

TEST(SelectionBand, ZeroWidthNoAnchorAndClipping) {
  EXPECT_TRUE(BandColumns(150, 150).Empty());
  EXPECT_TRUE(BandColumns(-1, 300).Empty());
  EXPECT_TRUE(BandStep(300, 300).Empty());
  ColumnSpan wide = BandStep(0, 900);
  EXPECT_EQ(wide.left, 63);
  EXPECT_EQ(wide.right, 500);
  // A vertical move (same x) inverts nothing.
  Strip strip;
  strip.Click(100);
  strip.Drag(140);
  strip.Drag(140);
  EXPECT_EQ(strip.Inverted().size(), 40u);
}

}  // namespace
