#include "analysis/beat_snap.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "session/unique_handle.h"

namespace {
constexpr int OnsetSpectrum = 512;
constexpr int GridBeats = 16;
constexpr int OnsetBands = 24;
}  // namespace

void OnsetStrength(const MonoDecimator& mono, int64_t first, int32_t count, float* out) {
  const FreedWith<kiss_fftr_state, kiss_fftr_free> fft(
      kiss_fftr_alloc(OnsetSpectrum, 0, nullptr, nullptr));
  if (!fft) {
    std::fill(out, out + count, 0.0f);
    return;
  }
  std::vector<kiss_fft_scalar> in(OnsetSpectrum);
  std::vector<float> window(OnsetSpectrum);
  for (int i = 0; i < OnsetSpectrum; ++i)
    window[i] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / OnsetSpectrum));
  // Bins into bands of a third of an octave or more (one bin at least), counted from the top.
  std::vector<int> band(OnsetSpectrum / 2 + 1, 0);
  for (int b = 1; b <= OnsetSpectrum / 2; ++b)
    band[b] = std::min(OnsetBands - 1, int(3 * std::log2(double(OnsetSpectrum / 2) / b)));
  std::vector<kiss_fft_cpx> spectrum(OnsetSpectrum / 2 + 1);
  // The samples under all the spectra, read once (they overlap four times).
  const int64_t spanFirst = first - OnsetHop - OnsetSpectrum / 2;
  std::vector<float> span(size_t(count + 1) * OnsetHop + OnsetSpectrum);
  mono.Fill(spanFirst, span.size(), span.data());
  float previous[OnsetBands] = {}, current[OnsetBands];
  for (int32_t n = -1; n < count; ++n) {
    const float* samples = &span[size_t(n + 1) * OnsetHop];
    for (int i = 0; i < OnsetSpectrum; ++i) in[i] = samples[i] * window[i];
    kiss_fftr(fft.get(), in.data(), spectrum.data());
    std::fill(current, current + OnsetBands, 0.0f);
    for (int b = 1; b <= OnsetSpectrum / 2; ++b)
      current[band[b]] += spectrum[b].r * spectrum[b].r + spectrum[b].i * spectrum[b].i;
    float flux = 0;
    for (int k = 0; k < OnsetBands; ++k) {
      current[k] = std::log(1e-6f + current[k]);
      flux += std::max(0.0f, current[k] - previous[k]);
    }
    if (n >= 0) out[n] = flux;
    std::copy(current, current + OnsetBands, previous);
  }
}

int32_t BeatPeriod(std::span<const float> onsets, double onsetsPerSecond) {
  const int32_t shortest = int32_t(std::floor(onsetsPerSecond * 60.0 / 180.0));
  const int32_t longest = int32_t(std::ceil(onsetsPerSecond * 60.0 / 60.0));
  if (shortest < 1 || int64_t(onsets.size()) < 2 * int64_t(longest)) return 0;
  double mean = 0;
  for (float v : onsets) mean += v;
  mean /= double(onsets.size());
  int32_t best = 0;
  double bestScore = 0;
  for (int32_t lag = shortest; lag <= longest; ++lag) {
    double sum = 0;
    for (size_t i = size_t(lag); i < onsets.size(); ++i) sum += (onsets[i] - mean) * (onsets[i - lag] - mean);
    sum /= double(onsets.size() - size_t(lag));
    const double octaves = std::log2(lag / (onsetsPerSecond * 0.5));
    const double score = sum * std::exp(-0.5 * octaves * octaves / (0.9 * 0.9));
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  return best;
}

int32_t BestGridStart(std::span<const float> onsets, int32_t near, int32_t reach, int32_t period) {
  int32_t best = near;
  double bestScore = 0;
  const int64_t size = int64_t(onsets.size());
  for (int32_t p = std::max(0, near - reach); p <= near + reach && p < size; ++p) {
    double score = 0;
    for (int m = 0; m < GridBeats; ++m) {
      const int64_t at = p + int64_t(m) * period;
      if (at >= size) break;
      score += (m % 4 == 0 ? 2.0 : 1.0) * onsets[size_t(at)];
    }
    score *= 1.0 - 0.15 * std::abs(p - near) / double(reach + 1);  // nearer wins a tie
    if (score > bestScore) {
      bestScore = score;
      best = p;
    }
  }
  return best;
}

uint64_t SnapToBeat(const PcmSong& song, uint64_t frame, double reachSeconds) {
  const uint32_t factor = DecimationFor(song.sampleRate);
  const MonoDecimator mono(song, factor);
  const double perSecond = mono.Rate() / OnsetHop;
  const int32_t reach = int32_t(reachSeconds * perSecond);
  if (reach < 1) return frame;
  // The onsets from `reach` before the frame to 16 slow beats after the reach.
  const int32_t count = 2 * reach + int32_t(perSecond * GridBeats) + 1;
  const int64_t first = int64_t(frame / factor) - int64_t(reach) * OnsetHop;
  std::vector<float> onsets(static_cast<size_t>(count));
  OnsetStrength(mono, first, count, onsets.data());
  const int32_t period = BeatPeriod(onsets, perSecond);
  if (period == 0) return frame;
  const int32_t at = BestGridStart(onsets, reach, reach, period);
  const int64_t snapped = (first + int64_t(at) * OnsetHop) * factor;
  if (snapped < 0) return 0;
  return std::min<uint64_t>(uint64_t(snapped), song.Frames());
}
