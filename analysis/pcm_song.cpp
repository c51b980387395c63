#include "analysis/pcm_song.h"

MonoDecimator::MonoDecimator(const PcmSong& song, uint32_t factor)
    : song_(song),
      factor_(factor == 0 ? 1 : factor),
      length_(song.Frames() / factor_),
      rate_(static_cast<double>(song.sampleRate) / factor_),
      scale_(1.0f / (32768.0f * static_cast<float>(factor_) * song.channels)) {}

float MonoDecimator::At(int64_t n) const {
  if (n < 0 || static_cast<uint64_t>(n) >= length_) return 0.0f;
  const uint64_t first = static_cast<uint64_t>(n) * factor_ * song_.channels;
  const uint64_t count = static_cast<uint64_t>(factor_) * song_.channels;
  int64_t sum = 0;
  for (uint64_t i = 0; i < count; ++i) sum += song_.samples[first + i];
  return static_cast<float>(sum) * scale_;
}

uint32_t DecimationFor(uint32_t sampleRate) {
  const uint32_t factor = (sampleRate + 5512) / 11025;
  return factor < 1 ? 1 : factor;
}
