// A selection held in sample frames (typed, nudged with the keys, or made while zoomed): its
// times as text, typed times read back, nudges, and where its frames fall on the strip.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "session/clip_range.h"


// "m:ss.cc": minutes (as many digits as needed), seconds and hundredths of `frames` at
// `sampleRate`, the hundredths rounded to the nearest.
std::string ClipTimeText(uint64_t frames, uint32_t sampleRate);
// Reads "m:ss.cc" (also "m:ss" and "m:ss.c"; spaces around are allowed) as the nearest frame.
// False for anything else, seconds of 60 or more included.
bool ParseClipTime(std::string_view text, uint32_t sampleRate, uint64_t* frames);

// The typed start and end of the dialog. An empty message when they make a selection of the
// song's `songFrames` (then in `range`); otherwise the plain words that say what is wrong.
std::string CheckTypedTimes(std::string_view startText, std::string_view endText,
                            uint32_t sampleRate, uint32_t songFrames, FrameRange* range);

// Moves the selection's start (or its end) by `deltaMs` milliseconds, rounded to the nearest
// frame; the start stays within 0..end and the end within start..songFrames.
FrameRange NudgeSelection(FrameRange range, bool moveStart, int32_t deltaMs, uint32_t sampleRate,
                          uint32_t songFrames);

// What the ruler band shows for a held selection: "Start m:ss.cc   End m:ss.cc   Length m:ss.cc".
std::string SelectionTimesText(FrameRange range, uint32_t sampleRate);

// The strip shows `shownFrames` frames from `firstFrame` across its 437 columns from x 63.
// The column of `frame`, held to 63..500.
int StripXForFrame(uint64_t frame, uint64_t firstFrame, uint64_t shownFrames);
// The first frame that column `x` stands for, held to the shown frames' bounds.
uint64_t FrameForStripX(int x, uint64_t firstFrame, uint64_t shownFrames);
