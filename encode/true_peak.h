// The true peak of a clip (ITU-R BS.1770-4, Annex 2): the highest magnitude of its samples and
// of the values between them, found by oversampling each channel with a polyphase filter.
#pragma once
#include <cstdint>
#include <span>

// The oversampling of a rate: 4 below 96000 Hz, 2 below 192000 Hz, otherwise none (the
// samples' own peak is the true peak).
unsigned TruePeakFactor(uint32_t sampleRate);

// The highest true peak of any channel of interleaved 16-bit samples, as a fraction of full
// scale (32768 is 1.0); never below the highest sample. The filter is the 49-tap windowed sinc
// (Hann window) of the EBU R128 meter we link, summed in the same order, so both give the same
// figure. A partial frame at the end is left out; 0 with no channels.
double TruePeak(std::span<const int16_t> samples, uint16_t channels, uint32_t sampleRate);
