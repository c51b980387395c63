// The waveform strip: trace, ruler, selection band and the caret that marks its moving end.
// Everything here runs on the window thread except RenderWaveform (import thread).
#pragma once
#include <windows.h>

#include <cstdint>

#include "view/selection_frames.h"
#include "view/strip_zoom.h"

// Builds the strip's canvas from the current working audio (import thread). Does nothing
// while no file is loaded. The canvas is published only when it is complete.
void RenderWaveform(HWND window, HDC windowDc);
// Draws the ruler (while a file is loaded) and copies the canvas into the strip. The paint
// handler draws the status picture and then calls RedrawBand with its own drawing context.
void PaintWaveStrip(HWND window, HDC dc);
// Click at x inside the live strip: clears the old band and starts a new selection at x.
void BeginSelection(int x);
// Pointer move inside the live strip with the message's key state: moves the selection's end
// to x when only the left button is down.
void ExtendSelection(HWND window, WPARAM keyState, int x);
// Inverts the band between the anchor and the caret. With `dc` (the paint handler's context)
// it draws there, clipped to what is being painted; without it, directly on the window.
void RedrawBand(HWND window, HDC dc = nullptr);

// The selection caret: 85 units high at (63, 87), shown.
void CreateSelectionCaret(HWND window);
// Destroys it (only when the thread's caret is still ours).
void DestroySelectionCaret();
// For WM_SETFOCUS: a thread has one caret, and an edit box or a dialog that took the focus
// has destroyed ours; this puts it back where the selection's end was.
void RestoreSelectionCaret(HWND window);

// Draws the strip and its caret again at the window's new scale (sessionState.skinDpi).
void RescaleWaveStrip(HWND window);

// Posted to the main window by the import's thread as its last act: a scale change that came
// while the import was drawing the trace could not redraw it then.
constexpr UINT WM_STRIP_IMPORTED = WM_APP + 0x52;
// WM_STRIP_IMPORTED: draws the trace again when it was drawn at another scale than the
// window's.
void RescaleStaleWaveStrip(HWND window);

// Releases the canvas (Browse, Exit).
void ReleaseWaveCanvas();
// The caret's x in client units (the selection's moving end). Every x of the strip is in
// 96-dpi units; the strip turns them into the window's pixels where it draws.
int CaretX();
// Puts the caret at x on the trace line.
void SetCaretX(int x);
// Byte offset into the samples that strip x stands for (not aligned to a sample frame).
uint32_t ByteOffsetForX(int x);

// The selection held in sample frames (typed, nudged or made while zoomed). False when there is
// none or the selection is the dragged pixels of the whole-song strip.
bool SelectionFrames(FrameRange* range);
// Holds `range` as the selection: the anchor and the caret go to its ends' columns, the window
// is repainted with its band, and the ruler band shows its start, end and length. A mouse
// click in the strip, or a new caret (Browse), lets it go.
void HoldSelectionFrames(HWND window, FrameRange range);
// Frames of the working audio (whole sample frames of its data) and its sample rate.
uint32_t SongFrames();
uint32_t SongSampleRate();

// What the strip shows: the whole song, or the frames of the zoom.
StripWindow ShownStrip();
// Shows `shown` (the whole song when it covers it): a zoomed strip gets a trace of its own, a
// held selection moves to its columns there, the ruler band shows the times shown.
void ShowStrip(HWND window, StripWindow shown);
// The strip column of `frame` as the strip is shown, held to 63..500.
int StripXOfFrame(uint64_t frame);
