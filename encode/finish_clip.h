// The edits of the clip after it is cut and before test.wav is written: fades, then "louder".
#pragma once
#include <cstdint>
#include <span>

#include "session/edit_options.h"

// Applies the fades and "louder" of `options` to the clip's interleaved 16-bit `samples` in
// place; with neither on they are not touched. True when done (also when the meter's gate left
// them as they were); false, and the user has been told, when the loudness cannot be measured.
bool FinishClip(std::span<int16_t> samples, uint16_t channels, uint32_t sampleRate,
                const EditOptions& options);
