#pragma once
#include <windows.h>

// Decodes the MP3 at `sourcePath` into "d.wav" in `startDirectory`, driving `progressBar`.
// Returns 1 on success (also when the audio was cut at the import limit), 0 when the file is
// not an MP3 that a decoder can open, ImportWriteFailed when d.wav could not be written.
int ImportMp3(const char* sourcePath, const char* startDirectory, HWND progressBar);
