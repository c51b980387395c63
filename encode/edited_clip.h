// The clip's edits (fades, then "louder") over its samples: the one recipe that the conversion
// applies to test.wav and the preview to the selection it plays.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "encode/loudness_gain.h"
#include "session/edit_options.h"

// Reads the loudness of interleaved 16-bit samples (MeasureLoudness in the program); false
// when it cannot.
using LoudnessMeter = bool (*)(std::span<const int16_t> samples, uint16_t channels,
                               uint32_t sampleRate, LoudnessReading* reading);

// Fades `samples` (interleaved, `channels` a frame) in and out over the options' lengths at
// `sampleRate`, then, with "louder", applies the gain of the meter's reading (none when the
// gate leaves the loudness undefined). False, with the fades applied, when the meter fails.
bool EditClipSamples(std::span<int16_t> samples, uint16_t channels, uint32_t sampleRate,
                     const EditOptions& options, LoudnessMeter meter);

// The preview's clip: the bytes [startByte, endByte) of the song's interleaved PCM samples (8
// bits unsigned or 16 bits signed, `channels` a frame), cut to whole frames and held to the
// song, as 16-bit samples edited by EditClipSamples. Empty for an empty range or another
// sample size, and when the meter fails.
std::vector<int16_t> EditedClip(std::span<const uint8_t> songSamples, uint16_t channels,
                                uint16_t bitsPerSample, uint32_t sampleRate, uint32_t startByte,
                                uint32_t endByte, const EditOptions& options, LoudnessMeter meter);
