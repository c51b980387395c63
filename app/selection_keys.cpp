#include "app/selection_keys.h"

#include "view/waveform_view.h"

bool OnSelectionKey(HWND window, WPARAM key) {
  if (key != VK_LEFT && key != VK_RIGHT) return false;
  FrameRange range;
  if (!TheStrip().Enabled() || !SelectedFrames(&range)) return true;
  const bool moveStart = GetKeyState(VK_SHIFT) < 0;
  const int32_t step = GetKeyState(VK_CONTROL) < 0 ? 1000 : 10;
  const int32_t deltaMs = key == VK_LEFT ? -step : step;
  HoldSelectionFrames(window, NudgeSelection(range, moveStart, deltaMs, SongSampleRate(), SongFrames()));
  return true;
}
