// The waveform strip: trace, ruler, selection band and the caret that marks its moving end.
#pragma once
#include <windows.h>

#include <cstdint>

// Builds the strip's canvas from the current working audio (import thread).
void RenderWaveform(HWND window, HDC windowDc);
// Draws ruler, canvas and band onto the window (window thread, during paint).
void PaintWaveStrip(HWND window, HDC dc);
// Click at x inside the live strip: starts a new selection.
void BeginSelection(int x);
// Pointer move inside the live strip with the message's key state.
void ExtendSelection(HWND window, WPARAM keyState, int x);
// Inverts the band between the anchor and the caret.
void RedrawBand(HWND window);
void CreateSelectionCaret(HWND window);
void DestroySelectionCaret();
// Releases the canvas (Browse, Exit).
void ReleaseWaveCanvas();
// The caret's x in client pixels (the selection's moving end).
int CaretX();
// Puts the caret at x on the trace line.
void SetCaretX(int x);
// Byte offset into the samples that strip x stands for.
uint32_t ByteOffsetForX(int x);
