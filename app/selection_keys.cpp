#include "app/selection_keys.h"

#include "encode/convert_selection.h"
#include "session/session_state.h"
#include "session/working_audio.h"
#include "view/preview.h"
#include "view/waveform_view.h"

bool CurrentSelectionFrames(FrameRange* range) {
  if (!sessionState.fileLoaded || sessionState.selectionAnchorX == -1) return false;
  if (SelectionFrames(range)) return true;
  const uint32_t block = workingAudio.BlockAlign();
  if (block == 0) return false;
  const ClipByteRange bytes = ClipRangeOfSelection(UserSelection());
  range->start = (bytes.start + block - 1) / block;
  range->end = bytes.end / block;
  if (range->start > range->end) range->start = range->end;
  return true;
}

bool OnSelectionKey(HWND window, WPARAM key) {
  if (key != VK_LEFT && key != VK_RIGHT) return false;
  const SessionState& s = sessionState;
  FrameRange range;
  if (!s.selectionEnabled || !CurrentSelectionFrames(&range)) return true;
  const bool moveStart = GetKeyState(VK_SHIFT) < 0;
  const int32_t step = GetKeyState(VK_CONTROL) < 0 ? 1000 : 10;
  const int32_t deltaMs = key == VK_LEFT ? -step : step;
  HoldSelectionFrames(window, NudgeSelection(range, moveStart, deltaMs, SongSampleRate(), SongFrames()));
  return true;
}
