#include "encode/fade_ramp.h"

#include <cmath>
#include <numbers>

namespace {

void Scale(std::span<int16_t> samples, size_t frame, uint16_t channels, double gain) {
  for (size_t c = 0; c < channels; ++c) {
    int16_t& value = samples[frame * channels + c];
    value = static_cast<int16_t>(std::lround(value * gain));
  }
}

}  // namespace

uint32_t FadeFrames(uint32_t ms, uint32_t sampleRate, uint32_t clipFrames) {
  const uint64_t wanted = (static_cast<uint64_t>(ms) * sampleRate + 500) / 1000;
  const uint32_t cap = clipFrames / 3;
  return wanted < cap ? static_cast<uint32_t>(wanted) : cap;
}

double FadeInGain(uint32_t i, uint32_t frames) {
  if (i >= frames) return 1.0;
  return 0.5 - 0.5 * std::cos(std::numbers::pi * i / frames);
}

void ApplyFades(std::span<int16_t> samples, uint16_t channels, uint32_t inFrames,
                uint32_t outFrames) {
  if (channels == 0) return;
  const size_t frames = samples.size() / channels;
  for (size_t i = 0; i < inFrames && i < frames; ++i)
    Scale(samples, i, channels, FadeInGain(static_cast<uint32_t>(i), inFrames));
  for (size_t k = 0; k < outFrames && k < frames; ++k)  // k counts back from the last frame
    Scale(samples, frames - 1 - k, channels, FadeInGain(static_cast<uint32_t>(k), outFrames));
}
