// The EBU R128 meter (libebur128) over a clip's samples.
#pragma once
#include <cstdint>
#include <span>

#include "encode/loudness_gain.h"

// Integrated loudness and the highest true peak of any channel of interleaved 16-bit samples.
// False when the meter cannot take the format (no channels, a rate it refuses) or runs out of
// memory.
bool MeasureLoudness(std::span<const int16_t> samples, uint16_t channels, uint32_t sampleRate,
                     LoudnessReading* reading);
