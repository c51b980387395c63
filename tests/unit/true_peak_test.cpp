// The true peak of known signals: what lies between the samples of a full-scale sine, DC,
// silence, one impulse, the rates' oversampling, and the loudest channel.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "encode/true_peak.h"

namespace {

// A sine of `amplitude` (of full scale) at a quarter of the rate, starting at `phase`: with a
// phase of 45 degrees every sample lies at 0.707 of the crest, which falls between them.
std::vector<int16_t> QuarterRateSine(double amplitude, double phase, size_t frames,
                                     uint16_t channels = 1) {
  std::vector<int16_t> samples;
  for (size_t i = 0; i < frames; ++i)
    for (uint16_t c = 0; c < channels; ++c)
      samples.push_back(static_cast<int16_t>(
          std::lround(amplitude * 32767 * std::sin(std::numbers::pi / 2 * i + phase))));
  return samples;
}

double Db(double peak) { return 20 * std::log10(peak); }

TEST(TruePeak, KnownSignals) {
  const double sineSamplePeak = Db(std::round(32767 * std::sqrt(0.5)) / 32768);
  struct Case {
    const char* name;
    std::vector<int16_t> samples;
    uint16_t channels;
    uint32_t rate;
    double db, tolerance;
  };
  std::vector<int16_t> impulse(200, 0);
  impulse[100] = 16384;
  std::vector<int16_t> stereo = QuarterRateSine(0.5, std::numbers::pi / 4, 4000, 2);
  for (size_t i = 0; i < stereo.size(); i += 2) stereo[i] = 0;  // only the right channel sounds
  // A long quiet clip with a short crest between samples near its end.
  std::vector<int16_t> lateCrest(100000);
  for (size_t i = 0; i < lateCrest.size(); ++i) lateCrest[i] = i % 2 ? 100 : -100;
  const std::vector<int16_t> burst = QuarterRateSine(1, std::numbers::pi / 4, 400);
  lateCrest.insert(lateCrest.end() - 1000, burst.begin(), burst.end());
  const Case cases[] = {
      // The crest between the samples: about 3.01 dB over the samples' own peak (the filter
      // passes fs/4 a tenth of a dB high).
      {"sine at fs/4, 45 degrees", QuarterRateSine(1, std::numbers::pi / 4, 4000), 1, 44100,
       sineSamplePeak + 3.0103, 0.15},
      {"sine at fs/4, on its crests", QuarterRateSine(0.5, 0, 4000), 1, 48000, Db(0.5), 0.05},
      {"a late crest in a long quiet clip", lateCrest, 1, 44100, sineSamplePeak + 3.0103, 0.15},
      {"the right channel", stereo, 2, 44100, Db(0.5), 0.15},
      // DC: the step from the silence before it rings about 1 dB over its level.
      {"DC", std::vector<int16_t>(4000, -16384), 1, 8000, Db(0.5) + 1.0, 0.1},
      // One sample: the filter's ripple stays under the sample itself.
      {"impulse", impulse, 1, 22050, Db(0.5), 1e-9},
      // No oversampling at 192 kHz: the samples' own peak.
      {"sine at fs/4 at 192 kHz", QuarterRateSine(1, std::numbers::pi / 4, 4000), 1, 192000,
       sineSamplePeak, 1e-9},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(Db(TruePeak(c.samples, c.channels, c.rate)), c.db, c.tolerance) << c.name;
  EXPECT_EQ(TruePeak(std::vector<int16_t>(100, 0), 1, 44100), 0.0);
  EXPECT_EQ(TruePeak({}, 2, 44100), 0.0);
  EXPECT_EQ(TruePeak(impulse, 0, 44100), 0.0);
}

TEST(TruePeakFactor, ByRate) {
  struct Case { uint32_t rate; unsigned factor; };
  // A long quiet clip with a short crest between samples near its end.
  std::vector<int16_t> lateCrest(100000);
  for (size_t i = 0; i < lateCrest.size(); ++i) lateCrest[i] = i % 2 ? 100 : -100;
  const std::vector<int16_t> burst = QuarterRateSine(1, std::numbers::pi / 4, 400);
  lateCrest.insert(lateCrest.end() - 1000, burst.begin(), burst.end());
  const Case cases[] = {{8000, 4}, {48000, 4}, {95999, 4}, {96000, 2}, {191999, 2}, {192000, 1}};
  for (const Case& c : cases) EXPECT_EQ(TruePeakFactor(c.rate), c.factor) << c.rate;
}

}  // namespace
