// Reads the PCM description and sample span of a WAV file held in memory, for the shipped
// encoders. Chunks may come in any order ("data" before "fmt " included), with any others
// between them; the walk never reads outside the span, whatever the sizes say.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

enum class PcmWavResult {
  Ok,
  NotRiffWave,   // no "RIFF" ... "WAVE" header
  NoFormat,      // no complete "fmt " chunk of at least 16 bytes
  NotPcm,        // compressed or floating-point samples
  BadFormat,     // PCM, but channels, rate, sample size or block alignment make no sense
  NoData,        // no "data" chunk
};

struct PcmWav {
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;          // 8 or 16 (other PCM sizes are BadFormat)
  uint16_t blockAlign = 0;             // bytes per sample frame, channels * bitsPerSample / 8
  std::span<const uint8_t> data;       // whole sample frames only; a chunk cut short by the
                                       // end of the file is cut to the frames that are there
  size_t FrameCount() const { return blockAlign ? data.size() / blockAlign : 0; }
};

// Fills `wav` when the result is Ok. WAVE_FORMAT_EXTENSIBLE counts as PCM when its
// sub-format is PCM.
PcmWavResult ReadPcmWav(std::span<const uint8_t> file, PcmWav& wav);

// A short English description of a result, for messages.
const char* PcmWavResultText(PcmWavResult result);

// Sample `index` of channel 0 as a signed 16-bit value (8-bit samples are centred and scaled).
// The caller keeps index below FrameCount().
int16_t PcmSample(const PcmWav& wav, size_t index);
