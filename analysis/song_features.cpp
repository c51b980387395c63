#include "analysis/song_features.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "session/unique_handle.h"

namespace {

constexpr int SpectrumSize = 2048;  // 0.19 s at 11 kHz: enough resolution for pitch classes
constexpr double MinSegmentSeconds = 0.5;
constexpr double ChromaLowHz = 60, ChromaHighHz = 2100;
constexpr double TimbreLowHz = 60, TimbreHighHz = 5000;
constexpr float SilentPower = 1e-7f;  // -70 dBFS

void UnitLength(float* v) {
  double norm = 0;
  for (int i = 0; i < FeatureBins; ++i) norm += double(v[i]) * v[i];
  norm = std::sqrt(norm);
  for (int i = 0; i < FeatureBins; ++i) v[i] = norm > 1e-9 ? float(v[i] / norm) : 0.0f;
}

}  // namespace

bool ExtractSongFeatures(const PcmSong& song, int32_t maxSegments,
                         const std::atomic<bool>* cancel, SongFeatures& out) {
  out = SongFeatures{};
  if (!song.Usable() || song.Frames() == 0 || maxSegments < 1) return false;
  const MonoDecimator mono(song, DecimationFor(song.sampleRate));
  if (mono.Length() == 0) return false;
  const double rate = mono.Rate();
  const double seconds = double(mono.Length()) / rate;
  const double segmentSeconds = std::max(MinSegmentSeconds, seconds / maxSegments);
  const int64_t segmentLength = std::max<int64_t>(1, std::llround(segmentSeconds * rate));
  const int32_t segments = int32_t((int64_t(mono.Length()) + segmentLength - 1) / segmentLength);
  out.segmentSeconds = double(segmentLength) / rate;
  out.segments = segments;
  out.chroma.assign(size_t(segments) * FeatureBins, 0.0f);
  out.timbre.assign(size_t(segments) * FeatureBins, 0.0f);
  out.power.assign(size_t(segments), 0.0f);

  // Which pitch class and which timbre band each spectrum bin feeds (-1: none).
  std::vector<int8_t> pitchClass(SpectrumSize / 2 + 1, -1), band(SpectrumSize / 2 + 1, -1);
  const double timbreTop = std::min(TimbreHighHz, rate / 2);
  for (int b = 1; b <= SpectrumSize / 2; ++b) {
    const double hz = b * rate / SpectrumSize;
    if (hz >= ChromaLowHz && hz <= ChromaHighHz && hz < rate / 2) {
      const long midi = std::lround(69 + 12 * std::log2(hz / 440.0));
      pitchClass[b] = int8_t(((midi % 12) + 12) % 12);
    }
    if (hz >= TimbreLowHz && hz < timbreTop) {
      const double at = std::log(hz / TimbreLowHz) / std::log(timbreTop / TimbreLowHz);
      band[b] = int8_t(std::min(FeatureBins - 1, int(at * FeatureBins)));
    }
  }
  std::vector<float> window(SpectrumSize);
  for (int i = 0; i < SpectrumSize; ++i)
    window[i] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / SpectrumSize));

  const FreedWith<kiss_fftr_state, kiss_fftr_free> fft(
      kiss_fftr_alloc(SpectrumSize, 0, nullptr, nullptr));
  if (!fft) return false;
  std::vector<kiss_fft_scalar> in(SpectrumSize);
  std::vector<kiss_fft_cpx> spectrum(SpectrumSize / 2 + 1);
  double chroma[FeatureBins], bands[FeatureBins];
  std::vector<float> span;  // the decimated samples under one segment's spectra, read once
  for (int32_t s = 0; s < segments; ++s) {
    std::fill(chroma, chroma + FeatureBins, 0.0);
    std::fill(bands, bands + FeatureBins, 0.0);
    double power = 0;
    const auto firstOf = [&](int f) {
      return s * segmentLength + (2 * f + 1) * segmentLength / (2 * FramesPerSegment) - SpectrumSize / 2;
    };
    // Spectra that overlap (short segments) read the samples under all of them once; spread
    // ones (long segments) each read their own.
    const bool overlap = firstOf(1) - firstOf(0) < SpectrumSize;
    const int64_t spanFirst = firstOf(0);
    span.resize(overlap ? size_t(firstOf(FramesPerSegment - 1) - spanFirst + SpectrumSize) : SpectrumSize);
    if (overlap) mono.Fill(spanFirst, span.size(), span.data());
    for (int f = 0; f < FramesPerSegment; ++f) {
      if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;
      if (!overlap) mono.Fill(firstOf(f), SpectrumSize, span.data());
      const float* frame = overlap ? &span[size_t(firstOf(f) - spanFirst)] : span.data();
      for (int i = 0; i < SpectrumSize; ++i) {
        const float x = frame[i];
        power += double(x) * x;
        in[i] = x * window[i];
      }
      kiss_fftr(fft.get(), in.data(), spectrum.data());
      for (int b = 1; b <= SpectrumSize / 2; ++b) {
        const double p = double(spectrum[b].r) * spectrum[b].r + double(spectrum[b].i) * spectrum[b].i;
        if (pitchClass[b] >= 0) chroma[pitchClass[b]] += std::sqrt(p);
        if (band[b] >= 0) bands[band[b]] += p;
      }
    }
    power /= double(FramesPerSegment) * SpectrumSize;
    out.power[s] = float(power);
    if (power < SilentPower) continue;
    float* c = &out.chroma[size_t(s) * FeatureBins];
    float* t = &out.timbre[size_t(s) * FeatureBins];
    double mean = 0;
    for (int i = 0; i < FeatureBins; ++i) mean += chroma[i] / FeatureBins;
    for (int i = 0; i < FeatureBins; ++i) {
      c[i] = float(chroma[i] - mean);
      t[i] = float(std::log10(bands[i] + 1e-9));
    }
    UnitLength(c);
  }
  // Timbre as the difference from the song's own average sound.
  double mean[FeatureBins] = {};
  int32_t sounding = 0;
  for (int32_t s = 0; s < segments; ++s) {
    if (out.power[s] < SilentPower) continue;
    ++sounding;
    for (int i = 0; i < FeatureBins; ++i) mean[i] += out.timbre[size_t(s) * FeatureBins + i];
  }
  for (int32_t s = 0; s < segments && sounding > 0; ++s) {
    if (out.power[s] < SilentPower) continue;
    float* t = &out.timbre[size_t(s) * FeatureBins];
    for (int i = 0; i < FeatureBins; ++i) t[i] -= float(mean[i] / sounding);
    UnitLength(t);
  }
  return true;
}
