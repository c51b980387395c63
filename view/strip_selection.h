// The one owner of the selection and of the strip's view of the song: the anchor, the caret
// and the ends a preview parks, the selection held in frames or in columns, and the zoom
// window. Everyone else asks it which frames are selected and which column shows a frame.
// Portable: the window glue (view/waveform_view) draws what it says and keeps the one instance.
#pragma once
#include <cstdint>

#include "session/clip_range.h"
#include "view/selection_band.h"
#include "view/strip_geometry.h"
#include "view/strip_zoom.h"

// What the strip needs to know of the working audio.
struct SongExtent {
  uint32_t dataBytes = 0;   // bytes of its samples
  uint32_t blockAlign = 0;  // bytes a frame
  uint32_t Frames() const { return blockAlign ? dataBytes / blockAlign : 0; }
};

// The selection's two ends as the user made them: the parked ones while a preview is under way.
struct UserSelectionEnds {
  int anchorX;  // -1: no selection
  int endX;
};

class StripSelection {
 public:
  // Mouse selection is allowed (a song is loaded and no preview is under way).
  bool Enabled() const { return enabled_; }
  void Enable(bool on) { enabled_ = on; }

  // The live ends: the anchor (-1: none) and the caret, the selection's moving end.
  int AnchorX() const { return anchorX_; }
  int CaretX() const { return caretX_; }
  void SetAnchorX(int x) { anchorX_ = x; }
  void SetCaretX(int x) { caretX_ = x; }
  // The last drag went leftwards.
  bool Leftward() const { return leftward_; }

  // No selection: anchor -1, caret at the strip's left, nothing held, rightward.
  void Reset();
  // A click at x: the old selection goes (true when it was shown, so the strip must be drawn
  // again before the new one starts), and a new one starts at x. On a zoomed strip it is held
  // in frames from its first click.
  bool ClearForClick();
  void StartAt(int x, SongExtent song);
  // The moving end to x: the columns to invert (the band's step).
  ColumnSpan ExtendTo(int x, SongExtent song);
  // The band's columns as they stand (none without a selection or while it is disabled).
  ColumnSpan Band() const;

  // The selection held in sample frames (typed, nudged, proposed or made while zoomed).
  bool HeldFrames(FrameRange* range) const;
  // The ruler shows a held selection's times (also in the moment a preview parks it).
  bool TimesShown(FrameRange* range) const {
    *range = heldFrames_;
    return heldInFrames_;
  }
  // Holds `range`, held to the song: the anchor and the caret go to its ends' columns.
  void Hold(FrameRange range, SongExtent song);
  // Lets a held selection go (a new caret, Browse).
  void DropHeld() { heldInFrames_ = false; }

  // What the strip shows: the whole song, or the zoom's frames.
  StripWindow Shown(SongExtent song) const;
  bool IsZoomed() const { return zoomWindow_.frames != 0; }
  // Shows `shown` (the whole song when it covers it); a held selection moves to its columns.
  void Show(StripWindow shown, SongExtent song);
  // The song is gone: nothing is zoomed (the selection stays where it is).
  void ForgetZoom() { zoomWindow_ = {}; }
  // The column of `frame` as the strip is shown, held to 63..500.
  int XOfFrame(uint64_t frame, SongExtent song) const;

  // The user's selection (the parked one during a preview).
  UserSelectionEnds UserEnds() const;
  // The bytes of the samples a conversion cuts for it: the held frames exactly, otherwise the
  // columns' arithmetic of the whole-song strip.
  ClipByteRange ClipBytes(SongExtent song) const;
  // Which frames are selected: the held frames, or the columns' bytes as whole frames. False
  // without a selection.
  bool SelectedFrames(SongExtent song, FrameRange* range) const;
  // The user's selection is there and has a width.
  bool HasUserSelection() const;

  // A preview parks the live ends while it plays (until Unpark puts them back).
  void Park();
  bool Parked() const { return parked_; }
  void Unpark();
  // While a preview is under way, the selection it puts back becomes none.
  void ClearParked();

 private:
  void HoldDragged(int x);

  bool enabled_ = false;
  int anchorX_ = -1;
  int caretX_ = WaveArea::Left;
  bool leftward_ = false;
  bool heldInFrames_ = false;
  FrameRange heldFrames_;
  StripWindow zoomWindow_;       // frames 0: the whole song
  uint64_t dragAnchorFrame_ = 0;  // where a drag on the zoomed strip began
  bool parked_ = false;
  int parkedAnchorX_ = -1;
  int parkedCaretX_ = 0;
};
