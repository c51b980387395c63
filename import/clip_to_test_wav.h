// Cutting the clip out of d.wav into memory in the one PCM format the ringtone's encoder wants,
// through ACM (served by our own resampler driver while the extraction runs), and writing it
// once as "test.wav" for the encoders that read a file.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <span>
#include <vector>

#include "import/clip_format.h"

// Converts the bytes start..end of the samples of `sourceName` into `samples`, interleaved
// 16-bit in `format`: an odd start is read from the next even byte, the end is held to the
// data that is really there. Steps `progressBar` once per chunk of source block align x 1024
// bytes over the range 1..whole chunks, and sets it back to 0 at the end.
// True when the whole range was converted. On any failure (a clip too large for the memory
// included) the user has been told and false comes back.
bool ExtractClip(const char* sourceName, uint32_t start, uint32_t end, HWND progressBar,
                 const ClipTargetFormat& format, std::vector<int16_t>& samples);

// Writes `samples` (interleaved 16-bit in `format`) as "test.wav" in the current directory,
// replacing any old one. The layout: "RIFF"/"WAVE", a 16-byte "fmt " record of `format`, a
// "data" chunk; nothing else. True when all of it is on disk. Otherwise the user has been told
// that the folder's disk is full or that it cannot be written, no test.wav is left, and false
// comes back.
bool WriteTestWav(const ClipTargetFormat& format, std::span<const int16_t> samples);

// The check of one ACM result: true for 0. Otherwise writes the error's name (or its number)
// to standard output, tells the user in an "Error" box, and returns false.
bool ReportAcmError(MMRESULT result);
