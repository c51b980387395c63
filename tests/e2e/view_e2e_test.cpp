// The waveform strip, the mouse selection and the preview through the real window: the trace
// and ruler after a WAV import, drags in both directions and with modifier keys, and previews
// played in real time on the test session's null sound sink.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdPlay = 5001, IdUpload = 5011;
constexpr uint32_t Yellow = 0xFFCC00, White = 0xFFFFFF, Black = 0x000000;
constexpr uint32_t RulerFill = 0xFFFAF0, LabelBack = 0xE6E6FA;
constexpr int LiveY = 120;
// The suggested part's band at the foot of the trace.
constexpr uint32_t SuggestionBlue = 0x0078D7;
constexpr int SuggestionY = 167;

// The first column of the suggested part's band; 0 when there is none.
int SuggestionLeft(const Capture& c) {
  for (int x = 63; x < 500; ++x)
    if (c.At(x, SuggestionY) == SuggestionBlue) return x;
  return 0;
}

// Ten seconds of 16-bit mono at 8000 Hz in four equal parts: +16384 (trace at y 25 of the
// canvas), a silent gap (y 50), -16384 (y 75), and a square wave that changes sign every 12
// values, the trace's step, so that the trace jumps between 25 and 75 at every point.
std::vector<uint8_t> FourPartSong() {
  return MakeWav(8000, 1, 80000, [](uint32_t f, int) -> int16_t {
    switch (f / 20000) {
      case 0: return 16384;
      case 1: return 0;
      case 2: return -16384;
      default: return (f / 12) % 2 ? 16384 : -16384;
    }
  });
}

// A picture of the committed art as 0xRRGGBB pixels.
using Art = Capture;

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.Launch());
    std::string folder = app_.StartFolder() + "\\songs";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string path = folder + "\\song.wav";
    std::vector<uint8_t> song = FourPartSong();
    ASSERT_TRUE(WriteFileBytes(path, song));
    ASSERT_TRUE(app_.BrowseTo(path));
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(app_.WorkingFile("d.wav")) == song; }));
    // Loaded once Upload no longer says that nothing is loaded.
    ASSERT_TRUE(WaitUntil(
        [&] {
          app_.Command(IdUpload);
          HWND box = WaitForAnyDialog(app_.ProcessId(), 3000);
          if (!box) return false;
          std::string text = MessageBoxText(box);
          PressButton(box);
          return text == "Please make a selection and click convert";
        },
        15000));
    ASSERT_TRUE(WaitUntil([&] { return CaretX() == 63; }, 5000));
    // The strip as drawn after the import: the trace is there and the screen has settled
    // (the message boxes above have gone and what they covered is painted again).
    ASSERT_TRUE(WaitUntil(
        [&] {
          Settle();
          Capture first = CaptureClient(app_.Window());
          Settle();
          plain_ = CaptureClient(app_.Window());
          // The song's suggested part has come too: the strip is complete.
          return plain_.At(63 + 50, 87 + 25) == Yellow && SuggestionLeft(plain_) != 0 &&
                 plain_.pixels == first.pixels;
        },
        10000));
  }

  // Lets the window's drawing reach the screen.
  void Settle() {
    app_.Sync();
    Sleep(60);
  }
  int CaretX() {
    RECT r{};
    return app_.CaretRect(&r) ? r.left : -1000;
  }
  // Strip columns 64..499 inverted against the capture taken after the import, leaving out
  // the caret's own column (the caret blinks).
  std::vector<int> InvertedColumns() {
    Capture now = CaptureClient(app_.Window());
    int caret = CaretX();
    std::vector<int> columns;
    for (int x = 64; x < 500; ++x) {
      if (x == caret) continue;
      bool inverted = true;
      for (int y = 87; y < 170 && inverted; y += 3)
        inverted = now.At(x, y) == (~plain_.At(x, y) & 0xFFFFFF);
      if (inverted) columns.push_back(x);
    }
    return columns;
  }
  // Waits until the band is `from`..`to` (half-open, less the caret column) and says what it
  // is otherwise.
  ::testing::AssertionResult BandIs(int from, int to) {
    std::vector<int> expected, got;
    WaitUntil(
        [&] {
          int caret = CaretX();
          expected.clear();
          for (int x = from; x < to; ++x)
            if (x != caret) expected.push_back(x);
          got = InvertedColumns();
          return got == expected;
        },
        3000);
    if (got == expected) return ::testing::AssertionSuccess();
    auto result = ::testing::AssertionFailure() << "band of " << got.size() << " columns";
    if (!got.empty()) result << " from " << got.front() << " to " << got.back();
    Capture now = CaptureClient(app_.Window());
    int probe = (from + to) / 2;
    result << " (at " << probe << ",120 " << std::hex << plain_.At(probe, 120) << " then "
           << now.At(probe, 120) << std::dec << ")";
    return result << ", expected " << from << ".." << to - 1;
  }
  // Pixels of the Play button that differ from picture `name`.
  int ButtonDifferences(const char* name) {
    Art art = LoadArt(name);
    Capture now = CaptureClient(app_.Window());
    int wrong = 0;
    for (int y = 0; y < art.height; ++y)
      for (int x = 0; x < art.width; ++x)
        wrong += now.At(70 + x, 180 + y) != art.pixels[static_cast<size_t>(y) * art.width + x];
    return wrong;
  }
  // Follows the caret from a Play command until it has come back to `restX` (where the
  // selection ends); returns the positions it took on the way. `whilePlaying` runs once, as
  // soon as the caret has left its place.
  std::vector<int> FollowPreview(int restX, const std::function<void()>& whilePlaying = {},
                                 DWORD timeoutMs = 20000) {
    std::vector<int> seen;
    bool started = false;
    bool back = WaitUntil(
        [&] {
          int x = CaretX();
          if (!started && x != restX) {
            started = true;
            if (whilePlaying) whilePlaying();
            x = CaretX();
          }
          if (started && (seen.empty() || seen.back() != x)) seen.push_back(x);
          return started && x == restX;
        },
        timeoutMs);
    EXPECT_TRUE(started) << "the preview did not start";
    EXPECT_TRUE(back) << "the caret did not come back to " << restX;
    return seen;
  }

  App app_;
  Capture plain_;
};

TEST_F(ViewTest, StripShowsTheTraceAndTheRuler) {
  SaveCapture(plain_, "view-strip-after-import");
  const Capture& p = plain_;
  // The trace, part by part (109.25 columns each), clear of the steps between them.
  for (int c = 3; c < 106; ++c) {
    EXPECT_EQ(p.At(63 + c, 87 + 25), Yellow) << c;
    EXPECT_EQ(p.At(63 + c, 87 + 50), White) << c;
  }
  for (int c = 113; c < 215; ++c) {
    EXPECT_EQ(p.At(63 + c, 87 + 50), Yellow) << c;
    EXPECT_EQ(p.At(63 + c, 87 + 25), White) << c;
  }
  for (int c = 222; c < 325; ++c) EXPECT_EQ(p.At(63 + c, 87 + 75), Yellow) << c;
  for (int c = 332; c < 436; ++c)
    for (int y = 25; y <= 75; y += 10) EXPECT_EQ(p.At(63 + c, 87 + y), Yellow) << c << "," << y;
  // The ruler: ticks every 43 pixels and ten labels one second apart, but where the suggested
  // part's times stand above its band ("Suggested: 0:03.39-0:09.79", 26 characters of 7).
  const int calloutLeft = SuggestionLeft(p), calloutRight = calloutLeft + 26 * 7;
  for (int k = 0; k <= 10; ++k) {
    int x = 63 + 43 * k;
    if (k > 0) {
      EXPECT_EQ(p.At(x, 84), Black) << "tick " << k;
    }
    EXPECT_EQ(p.At(x + 2, 84), RulerFill) << k;
    if (k == 10 || (x + 30 > calloutLeft && x < calloutRight)) continue;
    int back = 0, ink = 0;
    for (int y = 67; y < 78; ++y)
      for (int dx = 1; dx < 30; ++dx) {
        uint32_t c = p.At(x + dx, y);
        back += c == LabelBack;
        ink += (c & 0xFF) < 0x80;
      }
    EXPECT_GT(back, 50) << "label " << k;
    EXPECT_GT(ink, 5) << "label " << k;
  }
}

TEST_F(ViewTest, DragsInBothDirectionsGiveTheSameBand) {
  app_.Drag(150, 250, LiveY);
  EXPECT_EQ(CaretX(), 250);
  EXPECT_TRUE(BandIs(150, 250));
  SaveCapture(CaptureClient(app_.Window()), "view-band-left-to-right");

  // A second click clears the old band; the same range dragged right to left.
  app_.Drag(250, 150, LiveY);
  EXPECT_EQ(CaretX(), 150);
  EXPECT_TRUE(BandIs(150, 250));
  SaveCapture(CaptureClient(app_.Window()), "view-band-right-to-left");
}

TEST_F(ViewTest, ShiftOrCtrlDragExtendsNothing) {
  app_.Drag(150, 250, LiveY);
  app_.Drag(300, 400, LiveY, MK_SHIFT);  // the press starts a new selection, the moves do not
  EXPECT_EQ(CaretX(), 300);
  EXPECT_TRUE(BandIs(300, 300));
  app_.Drag(120, 200, LiveY, MK_CONTROL);
  EXPECT_EQ(CaretX(), 120);
  EXPECT_TRUE(BandIs(120, 120));
  // A move with the right button as well does not extend either.
  app_.MouseDown(200, LiveY);
  app_.MouseMove(260, LiveY, MK_LBUTTON | MK_RBUTTON);
  EXPECT_EQ(CaretX(), 200);
}

TEST_F(ViewTest, DraggingBackAcrossTheAnchorLeavesNoStrayColumn) {
  app_.MouseDown(200, LiveY);
  for (int x = 201; x <= 260; ++x) app_.MouseMove(x, LiveY);
  for (int x = 259; x >= 120; x -= 3) app_.MouseMove(x, LiveY);
  app_.MouseMove(120, LiveY);
  EXPECT_TRUE(BandIs(120, 200));
  app_.MouseMove(200, LiveY);  // onto the anchor: nothing left
  EXPECT_TRUE(BandIs(200, 200));
  app_.MouseMove(230, LiveY);
  EXPECT_TRUE(BandIs(200, 230));
  // Moves outside the live strip are not delivered to the selection.
  app_.MouseMove(230, 60);
  app_.MouseMove(520, LiveY);
  EXPECT_EQ(CaretX(), 230);
  SaveCapture(CaptureClient(app_.Window()), "view-band-turned");
}

TEST_F(ViewTest, PlayMovesTheCaretAlongTheSelectionAndRestoresIt) {
  app_.Drag(150, 250, LiveY);  // 2.2 s of the song
  ASSERT_TRUE(BandIs(150, 250));
  app_.Command(IdPlay);
  int stopPictureDifferences = -1;
  std::vector<int> seen = FollowPreview(250, [&] {
    // While it plays: the Play button shows Stop, and clicks in the strip are ignored.
    Settle();
    stopPictureDifferences = ButtonDifferences("stop.bmp");
    SaveCapture(CaptureClient(app_.Window()), "view-playing");
    app_.Drag(400, 450, LiveY);
  });
  EXPECT_GE(stopPictureDifferences, 0);
  EXPECT_LT(stopPictureDifferences, 20);
  // The cursor positions between the parking at 0 and the restore.
  std::vector<int> cursor;
  for (size_t i = 0; i + 1 < seen.size(); ++i)
    if (seen[i] > 0) cursor.push_back(seen[i]);
  ASSERT_GE(cursor.size(), 3u);
  // 16000 bytes a step: 21.85 pixels.
  EXPECT_GE(*std::min_element(cursor.begin(), cursor.end()), 150 - 22);
  EXPECT_GE(*std::max_element(cursor.begin(), cursor.end()), 250);
  EXPECT_LT(*std::max_element(cursor.begin(), cursor.end()), 250 + 22);
  EXPECT_TRUE(std::is_sorted(cursor.begin(), cursor.end()));
  // Restored: the same band, the caret at its end, Play shown again.
  EXPECT_TRUE(BandIs(150, 250));
  EXPECT_TRUE(WaitUntil([&] { return ButtonDifferences("play.bmp") < 20; }, 3000));
  EXPECT_TRUE(NoDialogFor(app_.ProcessId(), 200));
}

TEST_F(ViewTest, PlayDuringPlayStopsThePreview) {
  app_.Drag(100, 450, LiveY);  // about 8 seconds
  app_.Command(IdPlay);
  ASSERT_TRUE(WaitUntil([&] { return CaretX() >= 120 && CaretX() < 450; }, 5000));
  app_.Command(IdPlay);
  ASSERT_TRUE(WaitUntil([&] { return CaretX() == 450; }, 3000)) << "caret at " << CaretX();
  EXPECT_TRUE(BandIs(100, 450));
  EXPECT_TRUE(WaitUntil([&] { return ButtonDifferences("play.bmp") < 20; }, 3000));
  // And it can be played again.
  app_.Command(IdPlay);
  EXPECT_TRUE(WaitUntil([&] { return CaretX() < 450; }, 3000));
  app_.Command(IdPlay);
  EXPECT_TRUE(WaitUntil([&] { return CaretX() == 450; }, 3000));
}

TEST_F(ViewTest, ZeroWidthSelectionPlaysToTheEndOfTheSong) {
  app_.MouseDown(420, LiveY);  // a click without a drag
  app_.MouseUp(420, LiveY);
  app_.Command(IdPlay);
  std::vector<int> seen = FollowPreview(420);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_GE(*std::max_element(seen.begin(), seen.end()), 500 - 22);
  EXPECT_TRUE(BandIs(420, 420));
}

}  // namespace
