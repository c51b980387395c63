#include "encode/clip_loudness.h"

#include <ebur128.h>

#include "encode/true_peak.h"
#include "session/unique_handle.h"

#include <cmath>
#include <limits>

bool MeasureLoudness(std::span<const int16_t> samples, uint16_t channels, uint32_t sampleRate,
                     LoudnessReading* reading) {
  if (channels == 0 || sampleRate == 0) return false;
  const FreedWith<ebur128_state, ebur128_destroy> meter(
      ebur128_init(channels, sampleRate, EBUR128_MODE_I));
  if (!meter) return false;
  const size_t frames = samples.size() / channels;
  if (frames && ebur128_add_frames_short(meter.get(), samples.data(), frames) != EBUR128_SUCCESS)
    return false;
  double loudness = 0;
  if (ebur128_loudness_global(meter.get(), &loudness) != EBUR128_SUCCESS) return false;
  // The true peak by our own oversampler: the meter's costs several times its loudness.
  const double peak = TruePeak(samples, channels, sampleRate);
  reading->integratedLufs = loudness;  // -HUGE_VAL below the gate
  reading->truePeakDbtp =
      peak > 0 ? 20.0 * std::log10(peak) : -std::numeric_limits<double>::infinity();
  return true;
}
