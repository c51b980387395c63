// Reads the one input the QCP encoder takes: a RIFF WAVE file of 8000 Hz mono 16-bit PCM,
// with its chunks in any order and any other chunks skipped. Every size is checked against
// the bytes present.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

enum class PcmWavStatus {
  Ok,
  NotWave,        // no RIFF/WAVE header
  NoFormat,       // no complete "fmt " chunk
  NotPcm,         // a compressed or otherwise unknown encoding
  WrongFormat,    // PCM, but not 8000 Hz, mono, 16 bits
  NoData,         // no "data" chunk
  Truncated,      // the data chunk runs past the end of the file
  Empty,          // no samples
};

// Human-readable reason for a status.
const char* PcmWavStatusText(PcmWavStatus status);

// On Ok, `samples` holds the samples of the first data chunk (an odd trailing byte ignored).
PcmWavStatus ReadPcmWav(std::span<const uint8_t> bytes, std::vector<int16_t>& samples);
