// What the import does with a chosen WAV file: keep it as it is, convert it to 16-bit PCM,
// or refuse it with a message that names the reason.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "formats/wav_file.h"

// Whether samples of this encoding and width can be turned into 16-bit PCM: integers of 1 to
// 32 bits, floats of 32 or 64 bits.
bool IsConvertibleSampleType(const WavFormat& format);

enum class WavImportAction {
  Copy,     // d.wav is the file itself
  Convert,  // d.wav is the file's samples as 16-bit PCM
  Refuse,   // nothing is imported; WavRefusalMessage says why
};

enum class WavRefusal { None, Compressed, NotAudio, SampleType };

struct WavImportPlan {
  WavImportAction action = WavImportAction::Copy;
  WavRefusal refusal = WavRefusal::None;
  WavFormat format;
  std::span<const uint8_t> data;  // Convert: the whole frames of the "data" chunk
};

// Decides what the import does with the bytes of a chosen WAV file:
// - Copy: PCM of 8 or 16 bits with one or two channels, which the working audio takes as it
//   is; and anything damaged (no RIFF/WAVE header, no usable "fmt " or "data" chunk, sizes
//   that do not agree), which the loader then refuses with its own messages;
// - Convert: every other PCM or floating-point file with a sound header and a "data" chunk,
//   whatever its channel count;
// - Refuse: compressed samples, a RIFF file of another kind (video, MIDI, pictures), or
//   samples of a width that cannot be read.
WavImportPlan PlanWavImport(std::span<const uint8_t> file);

// The message for a refused file ("" for a plan that is not a refusal).
std::string WavRefusalMessage(const WavImportPlan& plan);
