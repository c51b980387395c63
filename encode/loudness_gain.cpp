#include "encode/loudness_gain.h"

#include <algorithm>
#include <cmath>

bool LouderGainDb(const LoudnessReading& reading, double* gainDb) {
  if (!std::isfinite(reading.integratedLufs)) return false;
  double gain = LouderTargetLufs - reading.integratedLufs;
  // A peak of minus infinity (silence) sets no limit; NaN is not a peak either.
  if (std::isfinite(reading.truePeakDbtp))
    gain = std::min(gain, LouderPeakCeilingDbtp - reading.truePeakDbtp);
  *gainDb = gain;
  return true;
}

void ApplyGain(std::span<int16_t> samples, double gainDb) {
  const double factor = std::pow(10.0, gainDb / 20.0);
  for (int16_t& value : samples) {
    const double scaled = std::clamp(value * factor, -32768.0, 32767.0);
    // To the nearest, halves away from zero, as the fades.
    value = static_cast<int16_t>(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
  }
}
