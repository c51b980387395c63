// Cutting the clip out of d.wav into "test.wav" in the one PCM format the ringtone's encoder
// wants, through ACM (served by our own resampler driver while the extraction runs).
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

// Writes "test.wav" (current directory; any old one is replaced) from the bytes start..end of
// the samples of `sourceName`: an odd start is read from the next even byte, the end is held
// to the data that is really there. The layout: "RIFF"/"WAVE", a 16-byte "fmt " record of
// ClipFormatFor(ringtoneFormat), a "data" chunk; nothing else. Steps `progressBar` once per
// chunk of source block align x 1024 bytes over the range 1..whole chunks, and sets it back to
// 0 at the end.
// Returns true when test.wav was written to the end. On any failure the user has been told,
// the partial test.wav is removed and false comes back.
bool ClipToTestWav(const char* sourceName, uint32_t start, uint32_t end, HWND progressBar,
                   int32_t ringtoneFormat);

// The check of one ACM result: true for 0. Otherwise writes the error's name (or its number)
// to standard output, tells the user in an "Error" box, and returns false.
bool ReportAcmError(MMRESULT result);
