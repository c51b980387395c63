#include "encode/loudness_gain.h"

#include <algorithm>
#include <cmath>
#include <vector>

bool LouderGainDb(const LoudnessReading& reading, double* gainDb) {
  if (!std::isfinite(reading.integratedLufs)) return false;
  double gain = LouderTargetLufs - reading.integratedLufs;
  // A peak of minus infinity (silence) sets no limit; NaN is not a peak either.
  if (std::isfinite(reading.truePeakDbtp))
    gain = std::min(gain, LouderPeakCeilingDbtp - reading.truePeakDbtp);
  *gainDb = gain;
  return true;
}

namespace {

int16_t Scaled(int value, double factor) {
  const double scaled = std::clamp(value * factor, -32768.0, 32767.0);
  // To the nearest, halves away from zero, as the fades.
  return static_cast<int16_t>(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
}

}  // namespace

void ApplyGain(std::span<int16_t> samples, double gainDb) {
  const double factor = std::pow(10.0, gainDb / 20.0);
  constexpr size_t Values = 65536;
  if (samples.size() <= Values) {
    for (int16_t& value : samples) value = Scaled(value, factor);
    return;
  }
  // A longer clip: each of the 65536 values is scaled once and then looked up (a conversion
  // from double to integer per sample costs more than the rest of the pass on older FPUs).
  std::vector<int16_t> table(Values);
  for (int value = -32768; value <= 32767; ++value) table[value + 32768] = Scaled(value, factor);
  for (int16_t& value : samples) value = table[value + 32768];
}
