// The true peak of a clip: the highest magnitude of its samples and of the values between them,
// found by oversampling each channel by 8 (by 2 with a long half-band filter, then by 4 with a
// short one) and reading each crest of the oversampled values off the parabola through it and
// its two neighbours.
#pragma once
#include <cstdint>
#include <span>

// The highest true peak of any channel of interleaved 16-bit samples, as a fraction of full
// scale (32768 is 1.0); never below the highest sample. For any sound up to 0.45 of the
// sample rate it reads the crests between samples within 0.1 dB (an oversampling by 4 with a
// short filter, as meters commonly use, reads them up to 0.9 dB low, so a clip brought to a
// ceiling by it overshoots). Silence is taken before the first frame and after the last; a
// partial frame at the end is left out; 0 with no channels.
double TruePeak(std::span<const int16_t> samples, uint16_t channels, uint32_t sampleRate);
