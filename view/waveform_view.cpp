#include "view/waveform_view.h"

#include "session/session_state.h"
#include "session/working_audio.h"

void RenderWaveform(HWND, HDC) {}
void PaintWaveStrip(HWND, HDC) {}

void BeginSelection(int x) {
  if (!sessionState.selectionEnabled) return;
  sessionState.selectionAnchorX = x;
  SetCaretX(x);
}

void ExtendSelection(HWND, WPARAM keyState, int x) {
  if (!sessionState.selectionEnabled || !(keyState & MK_LBUTTON)) return;
  SetCaretX(x);
}

void RedrawBand(HWND) {}

void CreateSelectionCaret(HWND window) {
  CreateCaret(window, nullptr, 0, WaveArea::Bottom - WaveArea::Top - 15);
  SetCaretPos(WaveArea::Left, WaveArea::TraceTop);
  ShowCaret(window);
}

void DestroySelectionCaret() { DestroyCaret(); }
void ReleaseWaveCanvas() {}

int CaretX() {
  POINT p{};
  GetCaretPos(&p);
  return p.x;
}

void SetCaretX(int x) { SetCaretPos(x, WaveArea::TraceTop); }

uint32_t ByteOffsetForX(int) { return 0; }
