// The samples of the clip test.wav, for the encoders that take samples rather than a file.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

// The 16-bit samples of a whole PCM WAVE file of 16 bits, as they are interleaved. False for
// any other file.
bool ClipSamples(std::span<const uint8_t> wavFile, std::vector<int16_t>& samples);

// The samples of the clip file `path` (test.wav): false when it cannot be read or is no such file.
bool ReadClipSamples(const char* path, std::vector<int16_t>& samples);
