#pragma once
#include <windows.h>

// Rips the audio-CD track with zero-based `trackIndex` into `destination` (a 44-byte header
// and 44.1 kHz stereo 16-bit samples), driving `progressBar`. Returns 1 on success, 0 when the
// track cannot be read, ImportWriteFailed when `destination` could not be written whole.
int ImportCdTrack(const char* destination, int trackIndex, HWND progressBar);
// Gives back the drive handle that the last CD import kept (the drive gets its data blocks
// back). Called once at exit, when no import runs.
void CloseCdTrackImport();
