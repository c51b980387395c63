#include "encode/fade_ramp.h"

#include <cmath>
#include <numbers>

namespace {

// To the nearest integer, halves away from zero (as lround, without its cost per call).
int16_t RoundScaled(double value) {
  return static_cast<int16_t>(value >= 0 ? value + 0.5 : value - 0.5);
}

// Multiplies the frames `first`, `first + step`, ... (`frames` of them) by the ramp's gains in
// order. The cosine advances by one rotation a frame: a call of cos per frame costs more than
// the rest of the clip's edits together.
void Ramp(std::span<int16_t> samples, uint16_t channels, size_t first, ptrdiff_t step,
          uint32_t frames) {
  const double angle = std::numbers::pi / frames;
  const double cosStep = std::cos(angle), sinStep = std::sin(angle);
  double c = 1.0, s = 0.0;  // cos and sin of angle x i
  size_t frame = first;
  for (uint32_t i = 0; i < frames; ++i, frame += step) {
    const double gain = 0.5 - 0.5 * c;
    for (size_t k = 0; k < channels; ++k) {
      int16_t& value = samples[frame * channels + k];
      value = RoundScaled(value * gain);
    }
    const double next = c * cosStep - s * sinStep;
    s = s * cosStep + c * sinStep;
    c = next;
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
  if (inFrames > frames) inFrames = static_cast<uint32_t>(frames);
  if (outFrames > frames) outFrames = static_cast<uint32_t>(frames);
  if (inFrames) Ramp(samples, channels, 0, 1, inFrames);
  if (outFrames) Ramp(samples, channels, frames - 1, -1, outFrames);  // back from the last frame
}
