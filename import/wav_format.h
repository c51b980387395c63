// What the "fmt " chunk of a WAV file says about its samples (WAVE_FORMAT_EXTENSIBLE included),
// and what the import does with a chosen WAV file: keep it as it is, convert it to 16-bit PCM,
// or refuse it with a message that names the reason.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

enum class WavEncoding {
  Integer,     // PCM: signed samples, unsigned at 8 bits and below
  Float,       // IEEE floating point
  Compressed,  // any other codec (ADPCM, A-law, mu-law, GSM, MP3...)
};

struct WavFormat {
  uint16_t formatTag = 0;  // the record's own tag (0xFFFE for WAVE_FORMAT_EXTENSIBLE)
  uint16_t codec = 0;      // the samples' tag: an extensible record's sub-format (0 when that
                           // is not one of the standard sub-formats)
  WavEncoding encoding = WavEncoding::Compressed;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint32_t channelMask = 0;  // speaker positions of an extensible record; 0 when none given

  // Bytes one sample takes in a frame: the bits rounded up to whole bytes.
  uint16_t SampleBytes() const { return static_cast<uint16_t>((bitsPerSample + 7) / 8); }
};

// Reads the body of a "fmt " chunk. False when it is shorter than its tag needs (16 bytes, or
// 40 for an extensible record).
bool ReadWavFormat(std::span<const uint8_t> body, WavFormat* format);

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
