#include "encode/clip_loudness.h"

#include <ebur128.h>

#include <cmath>
#include <limits>

namespace {

struct MeterState {
  ebur128_state* state = nullptr;
  ~MeterState() {
    if (state) ebur128_destroy(&state);
  }
};

}  // namespace

bool MeasureLoudness(std::span<const int16_t> samples, uint16_t channels, uint32_t sampleRate,
                     LoudnessReading* reading) {
  if (channels == 0 || sampleRate == 0) return false;
  MeterState meter;
  meter.state = ebur128_init(channels, sampleRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  if (!meter.state) return false;
  const size_t frames = samples.size() / channels;
  if (frames && ebur128_add_frames_short(meter.state, samples.data(), frames) != EBUR128_SUCCESS)
    return false;
  double loudness = 0;
  if (ebur128_loudness_global(meter.state, &loudness) != EBUR128_SUCCESS) return false;
  double peak = 0;
  for (unsigned c = 0; c < channels; ++c) {
    double channelPeak = 0;
    if (ebur128_true_peak(meter.state, c, &channelPeak) != EBUR128_SUCCESS) return false;
    if (channelPeak > peak) peak = channelPeak;
  }
  reading->integratedLufs = loudness;  // -HUGE_VAL below the gate
  reading->truePeakDbtp =
      peak > 0 ? 20.0 * std::log10(peak) : -std::numeric_limits<double>::infinity();
  return true;
}
