// The strip on a real window under the platform's GDI: the trace drawn by the import thread,
// the ruler, the canvas copy, the selection band under drags and repaints, and the caret.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <thread>

#include "session/session_state.h"
#include "session/working_audio.h"
#include "tests/win/view_test_support.h"
#include "view/waveform_view.h"

namespace {

using view_test::Pixels;

constexpr uint32_t Yellow = 0xFFCC00, White = 0xFFFFFF, Black = 0x000000;
constexpr uint32_t RulerFill = 0xFFFAF0;

// Ten seconds of 16-bit mono at 8000 Hz in four equal parts: +16384 (trace at y 25),
// silence (y 50), -16384 (y 75) and a square wave alternating every 12 values (the step K,
// so the trace jumps between 25 and 75 at every point).
view_test::MemoryAudio FourPartSignal() {
  return view_test::MakeAudio(8000, 1, 16, 80000, [](uint32_t f, int) {
    switch (f / 20000) {
      case 0: return 16384;
      case 1: return 0;
      case 2: return -16384;
      default: return (f / 12) % 2 ? 16384 : -16384;
    }
  });
}

class StripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    audio_ = FourPartSignal();
    view_test::Publish(audio_);
    window_ = view_test::CreateTestWindow();
    ASSERT_NE(window_, nullptr);
    CreateSelectionCaret(window_);
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "test", WS_CHILD | WS_VISIBLE, 70, 240, 74, 20,
                           window_, nullptr, GetModuleHandleA(nullptr), nullptr);
    sessionState.progressBar = bar_;
    // The import thread renders, as the import worker does.
    std::atomic<bool> rendered{false};
    std::thread worker([this, &rendered] {
      HDC dc = GetDC(window_);
      RenderWaveform(window_, dc);
      ReleaseDC(window_, dc);
      rendered = true;
    });
    // The worker's messages to the progress bar need this thread's message loop.
    EXPECT_TRUE(view_test::PumpUntil([&] { return rendered.load(); }, 10000));
    worker.join();
    Repaint();
  }
  void TearDown() override {
    ReleaseWaveCanvas();
    view_test::DestroyTestWindow(window_);
    view_test::ResetSession();
  }
  void Repaint(const RECT* area = nullptr) {
    InvalidateRect(window_, area, FALSE);
    UpdateWindow(window_);
  }
  // Columns 64..499 of the band rows that are inverted against `plain`.
  std::vector<int> InvertedColumns(const Pixels& now, const Pixels& plain) {
    std::vector<int> columns;
    for (int x = 64; x < 500; ++x) {
      bool inverted = true, same = true;
      for (int y = 87; y < 170; ++y) {
        uint32_t was = plain.At(x, y), is = now.At(x, y);
        inverted = inverted && is == (~was & 0xFFFFFF);
        same = same && is == was;
      }
      EXPECT_TRUE(inverted || same) << "column " << x << " is partly inverted";
      if (inverted) columns.push_back(x);
    }
    return columns;
  }
  static std::vector<int> Range(int from, int to) {
    std::vector<int> r;
    for (int x = from; x < to; ++x) r.push_back(x);
    return r;
  }

  view_test::MemoryAudio audio_;
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
};

TEST_F(StripTest, TraceFollowsTheSignal) {
  Pixels p = view_test::Capture(window_);
  view_test::Save(p, "view_strip_trace.bmp");
  // Four parts of 109.25 columns each; keep clear of the steps between them.
  for (int c = 3; c < 106; ++c) {
    EXPECT_EQ(p.At(63 + c, 87 + 25), Yellow) << c;
    EXPECT_EQ(p.At(63 + c, 87 + 50), White) << c;
  }
  for (int c = 113; c < 215; ++c) {
    EXPECT_EQ(p.At(63 + c, 87 + 50), Yellow) << c;
    EXPECT_EQ(p.At(63 + c, 87 + 25), White) << c;
    EXPECT_EQ(p.At(63 + c, 87 + 75), White) << c;
  }
  for (int c = 222; c < 325; ++c) {
    EXPECT_EQ(p.At(63 + c, 87 + 75), Yellow) << c;
    EXPECT_EQ(p.At(63 + c, 87 + 50), White) << c;
  }
  for (int c = 332; c < 436; ++c)
    for (int y = 25; y <= 75; y += 10) EXPECT_EQ(p.At(63 + c, 87 + y), Yellow) << c << "," << y;
  // The picture's two black rows on top, nothing drawn right of the strip.
  for (int x = 63; x < 500; x += 7) {
    EXPECT_EQ(p.At(x, 87), Black) << x;
    EXPECT_EQ(p.At(x, 88), Black) << x;
  }
  EXPECT_NE(p.At(500, 120), White);
}

TEST_F(StripTest, RenderSetsTheProgressRangeAndFillsTheBar) {
  // N = 80000, S = 10, P = 657, K = 12.
  EXPECT_EQ(SendMessageA(bar_, PBM_GETRANGE, TRUE, 0), 1);
  EXPECT_EQ(SendMessageA(bar_, PBM_GETRANGE, FALSE, 0), 80000 / 12);
  EXPECT_EQ(SendMessageA(bar_, PBM_GETPOS, 0, 0), 80000 / 12);
}

TEST_F(StripTest, NoRulerWhileNothingIsLoadedAndNoCopyWithoutCanvas) {
  Pixels shown = view_test::Capture(window_);
  sessionState.fileLoaded = false;  // between Browse and the end of the next import
  ReleaseWaveCanvas();
  Repaint();
  Pixels p = view_test::Capture(window_);
  EXPECT_NE(shown.At(100, 84), p.At(100, 84));
  EXPECT_NE(p.At(100, 84), RulerFill);
  EXPECT_NE(p.At(100, 87), Black);
  EXPECT_NE(p.At(100, 87 + 25), Yellow);
}

TEST_F(StripTest, BandFollowsDragsInBothDirectionsAndAcrossTheAnchor) {
  Pixels plain = view_test::Capture(window_);

  BeginSelection(150);
  EXPECT_EQ(CaretX(), 150);
  for (int x = 151; x <= 250; x += 9) ExtendSelection(window_, MK_LBUTTON, x);
  ExtendSelection(window_, MK_LBUTTON, 250);
  Pixels p = view_test::Capture(window_);
  view_test::Save(p, "view_strip_band.bmp");
  EXPECT_EQ(InvertedColumns(p, plain), Range(150, 250));

  // Back across the anchor in small and large steps: the band turns over cleanly.
  for (int x : {240, 200, 151, 150, 149, 120, 99}) ExtendSelection(window_, MK_LBUTTON, x);
  EXPECT_EQ(InvertedColumns(view_test::Capture(window_), plain), Range(99, 150));
  ExtendSelection(window_, MK_LBUTTON, 150);
  EXPECT_TRUE(InvertedColumns(view_test::Capture(window_), plain).empty());
  ExtendSelection(window_, MK_LBUTTON, 300);
  EXPECT_EQ(InvertedColumns(view_test::Capture(window_), plain), Range(150, 300));

  // The same selection dragged the other way round gives the same band.
  BeginSelection(300);
  for (int x = 290; x >= 150; x -= 20) ExtendSelection(window_, MK_LBUTTON, x);
  ExtendSelection(window_, MK_LBUTTON, 150);
  EXPECT_EQ(InvertedColumns(view_test::Capture(window_), plain), Range(150, 300));
}

TEST_F(StripTest, ModifiersClicksAndRepaints) {
  Pixels plain = view_test::Capture(window_);
  BeginSelection(200);
  ExtendSelection(window_, MK_LBUTTON, 260);
  // Shift, Ctrl or another button held: nothing moves.
  ExtendSelection(window_, MK_LBUTTON | MK_SHIFT, 300);
  ExtendSelection(window_, MK_LBUTTON | MK_CONTROL, 320);
  ExtendSelection(window_, MK_LBUTTON | MK_RBUTTON, 330);
  ExtendSelection(window_, 0, 340);
  EXPECT_EQ(CaretX(), 260);
  EXPECT_EQ(InvertedColumns(view_test::Capture(window_), plain), Range(200, 260));

  // A full repaint and a repaint of part of the band draw the same band.
  Repaint();
  EXPECT_EQ(InvertedColumns(view_test::Capture(window_), plain), Range(200, 260));
  RECT part{220, 90, 240, 160};
  Repaint(&part);
  EXPECT_EQ(InvertedColumns(view_test::Capture(window_), plain), Range(200, 260));

  // A second click clears the old band; a click alone is a zero-width selection.
  BeginSelection(100);
  EXPECT_EQ(TheStrip().AnchorX(), 100);
  EXPECT_EQ(CaretX(), 100);
  EXPECT_TRUE(InvertedColumns(view_test::Capture(window_), plain).empty());

  // While selection is off (a preview plays) clicks and drags do nothing.
  TheStrip().Enable(false);
  BeginSelection(300);
  ExtendSelection(window_, MK_LBUTTON, 350);
  EXPECT_EQ(TheStrip().AnchorX(), 100);
  EXPECT_EQ(CaretX(), 100);
  TheStrip().Enable(true);
}

TEST_F(StripTest, CaretSurvivesAnEditBoxTakingTheFocus) {
  GUITHREADINFO info = view_test::CaretInfo();
  EXPECT_EQ(info.hwndCaret, window_);
  EXPECT_EQ(info.rcCaret.left, 63);
  EXPECT_EQ(info.rcCaret.top, 87);
  EXPECT_EQ(info.rcCaret.bottom - info.rcCaret.top, 85);

  BeginSelection(120);
  ExtendSelection(window_, MK_LBUTTON, 180);
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY,
                              176, 270, 190, 23, window_, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
  SetFocus(edit);
  info = view_test::CaretInfo();
  EXPECT_EQ(info.hwndCaret, edit);
  // The selection's end is kept while the caret belongs to the edit box.
  EXPECT_EQ(CaretX(), 180);
  SetCaretX(190);  // must not move the edit box's caret
  info = view_test::CaretInfo();
  EXPECT_EQ(info.hwndCaret, edit);

  // Focus back: the window's caret returns where the selection ends.
  SetFocus(window_);
  info = view_test::CaretInfo();
  EXPECT_EQ(info.hwndCaret, window_);
  EXPECT_EQ(info.rcCaret.left, 190);

  // A click in the strip takes the focus and the caret back by itself.
  SetFocus(edit);
  BeginSelection(300);
  info = view_test::CaretInfo();
  EXPECT_EQ(GetFocus(), window_);
  EXPECT_EQ(info.hwndCaret, window_);
  EXPECT_EQ(info.rcCaret.left, 300);
  DestroyWindow(edit);
}

TEST_F(StripTest, CaretIsDestroyedAndRecreatedAtRest) {
  BeginSelection(250);
  DestroySelectionCaret();
  GUITHREADINFO info = view_test::CaretInfo();
  EXPECT_EQ(info.hwndCaret, nullptr);
  RestoreSelectionCaret(window_);  // a caret destroyed on purpose stays destroyed
  info = view_test::CaretInfo();
  EXPECT_EQ(info.hwndCaret, nullptr);
  CreateSelectionCaret(window_);
  info = view_test::CaretInfo();
  EXPECT_EQ(info.hwndCaret, window_);
  EXPECT_EQ(info.rcCaret.left, 63);
  EXPECT_EQ(CaretX(), 63);
}

}  // namespace
