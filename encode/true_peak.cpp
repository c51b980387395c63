#include "encode/true_peak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace {

constexpr unsigned Taps = 49;
// Coefficients smaller than this are left out of the filter (the zeros of the sinc).
constexpr double AlmostZero = 0.000001;

// One value per phase of an oversampling by up to 4 (a factor of 2 leaves two lanes at 0): in
// doubles as the meter sums, and in floats for a quicker first look.
using Lanes = double __attribute__((vector_size(4 * sizeof(double))));
using QuickLanes = float __attribute__((vector_size(4 * sizeof(float))));

// The filter of an oversampling by `Factor`: `Delay` input samples back from the newest, each
// with one coefficient per phase (output value between two samples), so that one step of the
// filter works on all the phases at once in one vector.
template <unsigned Factor>
struct Polyphase {
  static_assert(Factor <= 4);
  static constexpr unsigned Delay = (Taps + Factor - 1) / Factor;
  std::array<Lanes, Delay> coefficient{};  // [k][phase]: weight of the sample k back
  std::array<QuickLanes, Delay> quick{};   // the same as floats

  Polyphase() {
    for (unsigned j = 0; j < Taps; ++j) {
      const double m = static_cast<double>(j) - (Taps - 1) / 2.0;
      double c = 1.0;
      if (std::fabs(m) > AlmostZero)
        c = std::sin(m * std::numbers::pi / Factor) / (m * std::numbers::pi / Factor);
      c *= 0.5 * (1 - std::cos(2 * std::numbers::pi * j / (Taps - 1)));  // Hann window
      if (std::fabs(c) > AlmostZero) coefficient[j / Factor][j % Factor] = c;
    }
    for (unsigned k = 0; k < Delay; ++k)
      for (unsigned f = 0; f < Factor; ++f) quick[k][f] = static_cast<float>(coefficient[k][f]);
  }
};

// The highest oversampled magnitude (in sample units) of the outputs of frames `first` to
// `first + count` of one channel, whose earlier frames are silence: summed in `Value`s with
// the coefficients `rows`. In doubles the sums of each phase are the meter's, in its order.
template <typename Value, typename Vector, unsigned Delay, size_t Count>
Value BlockPeak(const std::array<Vector, Delay>& rows, const int16_t* x, uint16_t channels,
                size_t first, size_t count) {
  Value line[Delay - 1 + Count] = {};  // each sample converted once
  for (size_t i = first > Delay - 1 ? first - (Delay - 1) : 0; i < first + count; ++i)
    line[i + (Delay - 1) - first] = x[i * channels];
  Vector high{}, low{};
  for (size_t i = 0; i < count; ++i) {
    const Value* newest = line + (Delay - 1) + i;
    Vector sum{};
    for (unsigned k = 0; k < Delay; ++k) sum += rows[k] * newest[-static_cast<ptrdiff_t>(k)];
    high = sum > high ? sum : high;
    low = sum < low ? sum : low;
  }
  Value peak = 0;
  for (unsigned f = 0; f < 4; ++f) peak = std::max({peak, high[f], -low[f]});
  return peak;
}

// The highest oversampled magnitude of one channel (in sample units), from silence before the
// first frame; the filter's last Delay - 1 frames of output (which need later samples) are not
// made, as the meter does not make them. Every block is first filtered in floats (twice the
// values a vector, half the time); then only the blocks whose float peak could still beat the
// exact peak found are filtered again in doubles, loudest first. Floats of 24 bits over at
// most 25 terms of at most 32768 stray far less than one unit, the margin allowed. The meter keeps
// each value as a float; rounding to a float keeps the order, so the float of the highest
// exact magnitude is the meter's figure.
template <unsigned Factor>
double ChannelPeak(const Polyphase<Factor>& filter, const int16_t* x, uint16_t channels,
                   size_t frames) {
  constexpr unsigned Delay = Polyphase<Factor>::Delay;
  constexpr size_t Block = 256;
  constexpr float Margin = 1.0f;
  struct Quick {
    float peak;
    size_t first;
  };
  std::vector<Quick> blocks;
  blocks.reserve(frames / Block + 1);
  for (size_t first = 0; first < frames; first += Block)
    blocks.push_back({BlockPeak<float, QuickLanes, Delay, Block>(
                          filter.quick, x, channels, first, std::min(Block, frames - first)),
                      first});
  std::sort(blocks.begin(), blocks.end(),
            [](const Quick& a, const Quick& b) { return a.peak > b.peak; });
  double peak = 0;
  for (const Quick& b : blocks) {
    if (b.peak + Margin <= peak) break;
    peak = std::max(peak, BlockPeak<double, Lanes, Delay, Block>(
                              filter.coefficient, x, channels, b.first,
                              std::min(Block, frames - b.first)));
  }
  return std::fabs(static_cast<float>(peak));
}

template <unsigned Factor>
double OversampledPeak(std::span<const int16_t> samples, uint16_t channels, size_t frames) {
  static const Polyphase<Factor> filter;
  double peak = 0;
  for (uint16_t c = 0; c < channels; ++c)
    peak = std::max(peak, ChannelPeak(filter, samples.data() + c, channels, frames));
  return peak;
}

}  // namespace

unsigned TruePeakFactor(uint32_t sampleRate) {
  return sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
}

double TruePeak(std::span<const int16_t> samples, uint16_t channels, uint32_t sampleRate) {
  if (channels == 0) return 0;
  const size_t frames = samples.size() / channels;
  int highest = 0;
  for (size_t i = 0; i < frames * channels; ++i) highest = std::max(highest, std::abs(samples[i]));
  double peak = highest;
  switch (TruePeakFactor(sampleRate)) {
    case 4: peak = std::max(peak, OversampledPeak<4>(samples, channels, frames)); break;
    case 2: peak = std::max(peak, OversampledPeak<2>(samples, channels, frames)); break;
    default: break;
  }
  return peak / 32768.0;
}
