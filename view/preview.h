// Preview playback of the selection through DirectSound.
#pragma once
#include <windows.h>

#include <cstdint>

#include "session/clip_range.h"

// Creates the sound device if it is absent and prepares it (Browse). A device that cannot be
// created is left absent, with a beep.
void InitSoundDevice(HWND window);
// Creates and fills the preview buffer if absent; then stops the buffer, or, when `play`,
// starts a preview of the selection unless one is playing. Without a sound device it touches
// nothing (a Play request beeps).
void PreparePreview(bool play, HWND window);
// Timer callback (id 1, every millisecond while a preview plays): moves the play cursor and
// ends the preview, restoring the selection.
void CALLBACK PreviewTimerTick(HWND window, UINT message, UINT_PTR id, DWORD time);
// While a preview is under way, the selection it puts back at its end becomes none (anchor -1,
// the caret at the strip's left edge); the preview then ends at the next tick. Browse, which
// clears the selection when it keeps the song, calls it first. No preview: nothing happens.
void ClearParkedSelection();
// Fills `clip` with the edited clip of the bytes `range` of the samples (the selection as the
// conversion cuts it); false when there is none (no edit on). Made once per change of song,
// selection or options, above the view (the edits are the conversion's): the program hands it
// over at its start. Without one, every preview plays the song's own samples.
using EditedPreviewMaker = bool (*)(ClipByteRange range, EditedPreview* clip);
void SetEditedPreviewMaker(EditedPreviewMaker maker);
// True when the preview buffer exists and reports that it is playing.
bool IsPreviewPlaying();
// Stops a playing buffer (the next timer tick restores the selection).
void StopPreview();
// Releases the buffer and then the device, each when present, and marks both absent. A
// preview in progress ends first: its timer is killed and mouse selection is allowed again.
void ReleasePreview();
