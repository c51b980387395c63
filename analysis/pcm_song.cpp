#include "analysis/pcm_song.h"

MonoDecimator::MonoDecimator(const PcmSong& song, uint32_t factor)
    : song_(song),
      factor_(factor == 0 ? 1 : factor),
      length_(song.Frames() / factor_),
      rate_(static_cast<double>(song.sampleRate) / factor_),
      scale_(1.0f / (32768.0f * static_cast<float>(factor_) * (song.channels ? song.channels : 1))) {}

float MonoDecimator::At(int64_t n) const {
  float value;
  Fill(n, 1, &value);
  return value;
}

void MonoDecimator::Fill(int64_t first, size_t count, float* out) const {
  const uint64_t per = static_cast<uint64_t>(factor_) * song_.channels;
  const uint8_t* bytes = song_.data.data();
  for (size_t k = 0; k < count; ++k) {
    const int64_t n = first + static_cast<int64_t>(k);
    if (n < 0 || static_cast<uint64_t>(n) >= length_) {
      out[k] = 0.0f;
      continue;
    }
    int32_t sum = 0;  // at most 32 channels x 70 frames of 16 bits
    if (song_.bitsPerSample == 16) {
      const uint8_t* p = bytes + 2 * static_cast<uint64_t>(n) * per;
      for (uint64_t i = 0; i < per; ++i, p += 2) sum += static_cast<int16_t>(p[0] | p[1] << 8);
    } else {
      const uint8_t* p = bytes + static_cast<uint64_t>(n) * per;
      for (uint64_t i = 0; i < per; ++i) sum += (p[i] - 128) * 256;
    }
    out[k] = static_cast<float>(sum) * scale_;
  }
}

uint32_t DecimationFor(uint32_t sampleRate) {
  const uint32_t factor = (sampleRate + 5512) / 11025;
  return factor < 1 ? 1 : factor;
}
