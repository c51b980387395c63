#include "view/strip_zoom.h"

#include <algorithm>

StripWindow WholeSong(uint64_t songFrames) { return {0, songFrames}; }

bool Zoomed(StripWindow window, uint64_t songFrames) { return window.frames < songFrames; }

StripWindow ShowAround(uint64_t centre, uint64_t frames, uint64_t songFrames) {
  if (songFrames <= MinShownFrames) return WholeSong(songFrames);
  frames = std::clamp(frames, MinShownFrames, songFrames);
  const uint64_t half = frames / 2;
  uint64_t first = centre > half ? centre - half : 0;
  first = std::min(first, songFrames - frames);
  return {first, frames};
}

StripWindow ZoomBy(StripWindow window, bool in, uint64_t centre, uint64_t songFrames) {
  return ShowAround(centre, in ? window.frames / 2 : window.frames * 2, songFrames);
}

StripWindow FitSelection(FrameRange selection, uint64_t songFrames) {
  const uint64_t length = selection.Length();
  const uint64_t margin = length / 20;
  return ShowAround(selection.start + length / 2, length + 2 * margin, songFrames);
}

StripWindow ScrollBy(StripWindow window, int steps, uint64_t songFrames) {
  if (window.frames >= songFrames) return WholeSong(songFrames);
  const int64_t step = static_cast<int64_t>(window.frames / 10 ? window.frames / 10 : 1);
  const int64_t last = static_cast<int64_t>(songFrames - window.frames);
  const int64_t first = std::clamp<int64_t>(static_cast<int64_t>(window.first) + steps * step, 0, last);
  return {static_cast<uint64_t>(first), window.frames};
}
