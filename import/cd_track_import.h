#pragma once
#include <windows.h>

// Rips the audio-CD track with zero-based `trackIndex` into `destination` (a 44-byte header
// and 44.1 kHz stereo 16-bit samples), driving `progressBar`. Returns 1 on success, 0 on failure.
int ImportCdTrack(const char* destination, int trackIndex, HWND progressBar);
