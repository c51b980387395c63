#include "view/strip_selection.h"

#include <algorithm>

#include "view/selection_frames.h"
#include "view/selection_range.h"

void StripSelection::Reset() {
  anchorX_ = -1;
  caretX_ = WaveArea::Left;
  leftward_ = false;
  heldInFrames_ = false;
}

bool StripSelection::ClearForClick() {
  const bool shown = anchorX_ != -1 || heldInFrames_;
  heldInFrames_ = false;
  anchorX_ = -1;
  return shown;
}

void StripSelection::HoldDragged(int x) {
  const uint64_t end = FrameForStripX(x, zoomWindow_.first, zoomWindow_.frames);
  heldFrames_ = {static_cast<uint32_t>(std::min(dragAnchorFrame_, end)),
                 static_cast<uint32_t>(std::max(dragAnchorFrame_, end))};
  heldInFrames_ = true;
}

void StripSelection::StartAt(int x, SongExtent) {
  anchorX_ = x;
  caretX_ = x;
  if (IsZoomed()) {
    dragAnchorFrame_ = FrameForStripX(x, zoomWindow_.first, zoomWindow_.frames);
    HoldDragged(x);
  }
}

ColumnSpan StripSelection::ExtendTo(int x, SongExtent) {
  const ColumnSpan step = BandStep(caretX_, x);
  leftward_ = BandLeftwardAfter(leftward_, caretX_, x);
  caretX_ = x;
  if (IsZoomed()) HoldDragged(x);
  return step;
}

ColumnSpan StripSelection::Band() const {
  if (!enabled_ || anchorX_ == -1) return {};
  return BandColumns(anchorX_, caretX_);
}

bool StripSelection::HeldFrames(FrameRange* range) const {
  if (!heldInFrames_ || anchorX_ == -1) return false;
  *range = heldFrames_;
  return true;
}

void StripSelection::Hold(FrameRange range, SongExtent song) {
  range.end = std::min(range.end, song.Frames());
  range.start = std::min(range.start, range.end);
  heldFrames_ = range;
  heldInFrames_ = true;
  anchorX_ = XOfFrame(range.start, song);
  leftward_ = false;
  caretX_ = XOfFrame(range.end, song);
}

StripWindow StripSelection::Shown(SongExtent song) const {
  return IsZoomed() ? zoomWindow_ : WholeSong(song.Frames());
}

void StripSelection::Show(StripWindow shown, SongExtent song) {
  zoomWindow_ = Zoomed(shown, song.Frames()) ? shown : StripWindow{};
  if (heldInFrames_ && anchorX_ != -1) Hold(heldFrames_, song);
}

int StripSelection::XOfFrame(uint64_t frame, SongExtent song) const {
  const StripWindow shown = Shown(song);
  return StripXForFrame(frame, shown.first, shown.frames);
}

UserSelectionEnds StripSelection::UserEnds() const {
  if (parked_) return {parkedAnchorX_, parkedCaretX_};
  return {anchorX_, caretX_};
}

ClipByteRange StripSelection::ClipBytes(SongExtent song) const {
  FrameRange frames;
  if (HeldFrames(&frames)) return {frames.start * song.blockAlign, frames.end * song.blockAlign};
  const UserSelectionEnds ends = UserEnds();
  return SelectionByteRange(ends.anchorX, ends.endX, song.dataBytes);
}

bool StripSelection::SelectedFrames(SongExtent song, FrameRange* range) const {
  if (UserEnds().anchorX == -1) return false;
  if (HeldFrames(range)) return true;
  if (song.blockAlign == 0) return false;
  const ClipByteRange bytes = ClipBytes(song);
  range->start = (bytes.start + song.blockAlign - 1) / song.blockAlign;
  range->end = bytes.end / song.blockAlign;
  if (range->start > range->end) range->start = range->end;
  return true;
}

bool StripSelection::HasUserSelection() const {
  const UserSelectionEnds ends = UserEnds();
  if (ends.anchorX == -1) return false;
  // A selection held in frames may be narrower than a column.
  FrameRange frames;
  if (HeldFrames(&frames)) return frames.Length() > 0;
  return ends.anchorX != ends.endX;
}

void StripSelection::Park() {
  parkedAnchorX_ = anchorX_;
  parkedCaretX_ = caretX_;
  parked_ = true;
}

void StripSelection::Unpark() {
  caretX_ = parkedCaretX_;
  anchorX_ = parkedAnchorX_;
  enabled_ = true;
  parked_ = false;
}

void StripSelection::ClearParked() {
  if (!parked_) return;
  parkedAnchorX_ = -1;
  parkedCaretX_ = WaveArea::Left;
}
