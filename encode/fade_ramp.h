// Fades of the clip: a raised-cosine ramp from silence at its start and one to silence at its
// end, applied to interleaved 16-bit samples.
#pragma once
#include <cstdint>
#include <span>

// Frames of a fade of `ms` milliseconds at `sampleRate`, rounded to the nearest frame and held
// to a third of the clip's `clipFrames` (rounded down), so the two fades never meet.
uint32_t FadeFrames(uint32_t ms, uint32_t sampleRate, uint32_t clipFrames);

// The gain of frame `i` of a fade-in `frames` long: 0.5 - 0.5 cos(pi i / frames), 0 at the
// first frame and rising towards 1; 1 from frame `frames` on. A fade-out is its mirror: its
// last frame has the gain of the fade-in's first.
double FadeInGain(uint32_t i, uint32_t frames);

// Fades the first `inFrames` and the last `outFrames` frames of `samples` (`channels` values a
// frame; a partial frame at the end is left alone). Each value is multiplied by its frame's
// gain and rounded to the nearest integer (halves away from zero); a gain never above 1 cannot overflow.
void ApplyFades(std::span<int16_t> samples, uint16_t channels, uint32_t inFrames,
                uint32_t outFrames);
