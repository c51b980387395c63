// Zoom of the waveform strip: which frames of the song its 437 columns show.
#pragma once
#include <cstdint>

#include "view/selection_frames.h"
#include "view/strip_geometry.h"

struct StripWindow {
  uint64_t first = 0;   // first frame shown
  uint64_t frames = 0;  // frames shown
  bool operator==(const StripWindow&) const = default;
};

// The fewest frames the strip shows: one a column.
constexpr uint64_t MinShownFrames = WaveArea::Width;

// The whole song.
StripWindow WholeSong(uint64_t songFrames);
// True when `window` shows less than the whole song.
bool Zoomed(StripWindow window, uint64_t songFrames);
// `frames` frames centred on `centre`, held to MinShownFrames..songFrames and moved inside the
// song where they would run past an end.
StripWindow ShowAround(uint64_t centre, uint64_t frames, uint64_t songFrames);
// Zoom in (half the frames) or out (twice) around `centre`.
StripWindow ZoomBy(StripWindow window, bool in, uint64_t centre, uint64_t songFrames);
// The selection with a twentieth of its length on either side.
StripWindow FitSelection(FrameRange selection, uint64_t songFrames);
// Moved by `steps` tenths of what is shown (negative: earlier), held inside the song.
StripWindow ScrollBy(StripWindow window, int steps, uint64_t songFrames);
