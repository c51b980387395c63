// The true peak of sines whose crests fall between the samples, at every frequency up to 0.45
// of the rate and at several phases, against their exact crest (a sine's true peak is its
// amplitude); and silence, the loudest channel, a crest late in a long clip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "encode/true_peak.h"

namespace {

// A sine of `amplitude` (of full scale) at `cycles` per sample, from `phase`, faded in and out
// over 400 samples so that its ends add no ringing of their own.
std::vector<int16_t> Sine(double amplitude, double cycles, double phase, size_t frames,
                          uint16_t channels = 1) {
  std::vector<int16_t> samples;
  for (size_t i = 0; i < frames; ++i) {
    const double edge = std::min<double>({1.0, i / 400.0, (frames - 1 - i) / 400.0});
    const double fade = 0.5 - 0.5 * std::cos(std::numbers::pi * edge);
    for (uint16_t c = 0; c < channels; ++c)
      samples.push_back(static_cast<int16_t>(std::lround(
          amplitude * 32768 * fade * std::sin(2 * std::numbers::pi * cycles * i + phase))));
  }
  return samples;
}

double Db(double peak) { return 20 * std::log10(peak); }

TEST(TruePeak, WithinATenthOfADbOfTheCrestUpTo045OfTheRate) {
  const double amplitude = 0.7;
  for (double cycles : {0.01, 0.1, 0.2, 0.25, 0.3, 0.35, 0.4, 0.42, 0.44, 0.45}) {
    for (double phase : {0.0, std::numbers::pi / 8, std::numbers::pi / 4, 1.0, 2.0}) {
      const double db = Db(TruePeak(Sine(amplitude, cycles, phase, 3000), 1, 44100));
      EXPECT_GE(db, Db(amplitude) - 0.1) << cycles << " cycles, phase " << phase;
      EXPECT_LE(db, Db(amplitude) + 0.1) << cycles << " cycles, phase " << phase;
    }
  }
}

TEST(TruePeak, TheLoudestChannelAndALateCrest) {
  std::vector<int16_t> stereo = Sine(0.5, 0.45, 1.0, 4000, 2);
  for (size_t i = 0; i < stereo.size(); i += 2) stereo[i] /= 4;  // the right channel is loudest
  EXPECT_NEAR(Db(TruePeak(stereo, 2, 44100)), Db(0.5), 0.1);

  // A long quiet clip with a short loud burst near its end.
  std::vector<int16_t> late(100000);
  for (size_t i = 0; i < late.size(); ++i) late[i] = i % 2 ? 100 : -100;
  const std::vector<int16_t> burst = Sine(0.9, 0.43, 0.3, 1000);
  late.insert(late.end() - 1000, burst.begin(), burst.end());
  EXPECT_NEAR(Db(TruePeak(late, 1, 8000)), Db(0.9), 0.1);

  EXPECT_EQ(TruePeak(std::vector<int16_t>(100, 0), 1, 44100), 0.0);
  EXPECT_EQ(TruePeak({}, 2, 44100), 0.0);
  EXPECT_EQ(TruePeak(stereo, 0, 44100), 0.0);
}

}  // namespace
