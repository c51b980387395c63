// The waveform strip on the window: trace, ruler, selection band and the caret that marks its
// moving end, drawn as the strip's one owner of the selection (StripSelection) says. Window
// thread only.
#pragma once
#include <windows.h>

#include <cstdint>

#include "view/selection_frames.h"
#include "view/strip_geometry.h"
#include "view/strip_selection.h"
#include "view/strip_zoom.h"
#include "view/suggested_parts.h"

// The one selection of the program's strip.
StripSelection& TheStrip();
// The working audio's extent, as the strip measures it.
SongExtent CurrentSong();

// WM_SONG_IMPORTED: the selection's anchor goes (on the first song the strip starts taking
// the mouse) and the trace is drawn.
void TakeImportedSong(HWND window, bool firstSong);

// Builds the strip's canvas from the current working audio and fills the progress bar. Does
// nothing while no file is loaded.
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

// Releases the canvas (Browse, Exit).
void ReleaseWaveCanvas();
// The caret's x in client units (the selection's moving end). Every x of the strip is in
// 96-dpi units; the strip turns them into the window's pixels where it draws.
int CaretX();
// Puts the caret at x on the trace line.
void SetCaretX(int x);

// The selection held in sample frames (typed, nudged or made while zoomed). False when there is
// none or the selection is the dragged pixels of the whole-song strip.
bool SelectionFrames(FrameRange* range);
// Which frames the user's selection covers (held frames, or the dragged columns' bytes as
// whole frames); false when no song is loaded or nothing is selected.
bool SelectedFrames(FrameRange* range);
// The bytes of the samples a conversion cuts for the user's selection (also while a preview
// has parked it).
ClipByteRange SelectedClipBytes();
// The selection as the user made it: the ends a preview parked while it is under way.
UserSelectionEnds UserSelection();
// No selection: the anchor goes and the caret rests at the strip's left edge.
void ResetSelection();
// Holds `range` as the selection: the anchor and the caret go to its ends' columns, the window
// is repainted with its band, and the ruler band shows its start, end and length. A mouse
// click in the strip, or a new caret (Browse), lets it go.
void HoldSelectionFrames(HWND window, FrameRange range);
// Frames of the working audio (whole sample frames of its data) and its sample rate.
uint32_t SongFrames();
uint32_t SongSampleRate();

// The parts proposed as the ringtone: a band of their own colour under the trace, the current
// one's times in the ruler band (when no held selection or zoom has its text there).
void ShowSuggestedParts(HWND window, const FrameRange* parts, int count, bool confident);
// Holds the current proposal as the selection, exactly its frames; false when there is none.
bool SelectSuggestedPart(HWND window);
// The next proposal (after the last, the first); when the selection was the proposal before,
// it follows to the new one.
void NextSuggestedPart(HWND window);
bool AnySuggestedPart();
// Forgets the proposals (another phone's length is being looked for).
void ClearSuggestedParts(HWND window);

// What the strip shows: the whole song, or the frames of the zoom.
StripWindow ShownStrip();
// Shows `shown` (the whole song when it covers it): a zoomed strip gets a trace of its own, a
// held selection moves to its columns there, the ruler band shows the times shown.
void ShowStrip(HWND window, StripWindow shown);
// The strip column of `frame` as the strip is shown, held to 63..500.
int StripXOfFrame(uint64_t frame);
