// A decoded song as the analysis reads it: the bytes of d.wav's "data" chunk (little-endian
// PCM of 8 or 16 bits, interleaved) at any rate, any number of channels, and the mono,
// decimated view the features are taken from.
#pragma once
#include <cstdint>
#include <span>

struct PcmSong {
  std::span<const uint8_t> data;  // interleaved frames, `channels` samples each
  uint32_t sampleRate = 0;
  uint16_t channels = 0;
  uint16_t bitsPerSample = 16;    // 16 (signed) or 8 (unsigned), as in a WAV file

  // Rates, channel counts and sample widths the analysis takes: 1,000 to 768,000 Hz, 1 to 32
  // channels, 8 or 16 bits.
  bool Usable() const {
    return sampleRate >= 1000 && sampleRate <= 768000 && channels >= 1 && channels <= 32 &&
           (bitsPerSample == 8 || bitsPerSample == 16);
  }
  // Whole frames in `data` (a trailing partial frame is ignored); 0 when not Usable.
  uint64_t Frames() const { return Usable() ? data.size() / (channels * (bitsPerSample / 8u)) : 0; }
};

// The song mixed to mono and decimated by `factor` (the mean of `factor` frames of all
// channels), in full-scale units (-1..1). Reads past either end give 0. The song must be Usable.
class MonoDecimator {
 public:
  MonoDecimator(const PcmSong& song, uint32_t factor);
  float At(int64_t n) const;
  // At(first) .. At(first + count - 1) into `out`, in one pass.
  void Fill(int64_t first, size_t count, float* out) const;
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
