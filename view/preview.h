// Preview playback of the selection through DirectSound.
#pragma once
#include <windows.h>

// Creates and prepares the sound device if it is absent (Browse).
void InitSoundDevice(HWND window);
// Creates and fills the preview buffer if absent; starts a preview of the selection when `play`.
void PreparePreview(bool play, HWND window);
// True when the preview buffer exists and reports that it is playing.
bool IsPreviewPlaying();
// Stops a playing buffer (the next timer tick restores the selection).
void StopPreview();
// Releases the buffer and then the device, each when present, and marks both absent.
void ReleasePreview();
