// A decoded song as the analysis reads it: interleaved 16-bit samples (d.wav's data chunk) at
// any rate, any number of channels, and the mono, decimated view the features are taken from.
#pragma once
#include <cstdint>
#include <span>

struct PcmSong {
  std::span<const int16_t> samples;  // interleaved, `channels` per frame
  uint32_t sampleRate = 0;
  uint16_t channels = 0;

  // Whole frames in `samples` (a trailing partial frame is ignored); 0 when channels is 0.
  uint64_t Frames() const { return channels == 0 ? 0 : samples.size() / channels; }
  // Rates and channel counts the analysis takes: 1,000 to 768,000 Hz, 1 to 32 channels.
  bool Usable() const {
    return sampleRate >= 1000 && sampleRate <= 768000 && channels >= 1 && channels <= 32;
  }
};

// The song mixed to mono and decimated by `factor` (the mean of `factor` frames of all
// channels), in full-scale units (-1..1). Reads past either end give 0. The song must be Usable.
class MonoDecimator {
 public:
  MonoDecimator(const PcmSong& song, uint32_t factor);
  float At(int64_t n) const;
  uint64_t Length() const { return length_; }
  double Rate() const { return rate_; }

 private:
  const PcmSong& song_;
  uint32_t factor_;
  uint64_t length_;
  double rate_;
  float scale_;
};

// The decimation factor that brings `sampleRate` near 11,025 Hz (1 below 16.5 kHz).
uint32_t DecimationFor(uint32_t sampleRate);
