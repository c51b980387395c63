// The arithmetic of the clip's edits: fade lengths and their cap, the raised-cosine ramps, the
// "louder" gain with its gate and peak ceiling, rounding and holding to 16 bits, and the
// stored options read as the nearest offered value.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "encode/edited_clip.h"
#include "encode/fade_ramp.h"
#include "encode/loudness_gain.h"
#include "session/edit_options.h"

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

TEST(FadeFrames, LengthsAndTheCapOfAThird) {
  struct Case { uint32_t ms, rate, clipFrames, frames; };
  const Case cases[] = {
      {0, 8000, 80000, 0},          // off
      {500, 8000, 80000, 4000},
      {1000, 44100, 441000, 44100},
      {3000, 8000, 80000, 24000},   // 3 s of a 10 s clip: under a third
      {3000, 8000, 48000, 16000},   // 3 s of a 6 s clip: a third, 2 s
      {2000, 8000, 10, 3},          // a third rounded down
      {1000, 8000, 2, 0},
      {500, 11025, 1000000, 5513},  // 5512.5 frames rounds up
      {3000, 0xFFFFFFFF, 0xFFFFFFFF, 0x55555555},  // no overflow: capped
  };
  for (const Case& c : cases)
    EXPECT_EQ(FadeFrames(c.ms, c.rate, c.clipFrames), c.frames)
        << c.ms << " ms at " << c.rate << " Hz of " << c.clipFrames << " frames";
}

TEST(FadeInGain, RaisedCosineFromSilence) {
  struct Case { uint32_t i, frames; double gain; };
  const Case cases[] = {
      {0, 4, 0.0}, {1, 4, 0.5 - 0.5 * std::sqrt(0.5)}, {2, 4, 0.5},
      {3, 4, 0.5 + 0.5 * std::sqrt(0.5)}, {4, 4, 1.0}, {9, 4, 1.0}, {0, 0, 1.0},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(FadeInGain(c.i, c.frames), c.gain, 1e-12) << c.i << " of " << c.frames;
}

TEST(ApplyFades, RampsAtBothEndsOfEachChannelAndRounds) {
  struct Case {
    std::vector<int16_t> samples;
    uint16_t channels;
    uint32_t in, out;
    std::vector<int16_t> expected;
  };
  const Case cases[] = {
      // Mono, 4-frame fade in: gains 0, 0.1464, 0.5, 0.8536; 1000 x 0.1464 = 146.4 -> 146.
      {{1000, 1000, 1000, 1000, 1000, 1000}, 1, 4, 0, {0, 146, 500, 854, 1000, 1000}},
      // Fade out mirrors it, the last frame silent.
      {{1000, 1000, 1000, 1000, 1000, 1000}, 1, 0, 4, {1000, 1000, 854, 500, 146, 0}},
      // Stereo: both values of a frame get its gain (0, 0.25, 0.75 for 3 frames).
      {{-1001, 7, -1001, 7, -1001, 7, -1001, 7, -1001, 7, -1001, 7, -1001, 7}, 2, 3, 3,
       {0, 0, -250, 2, -751, 5, -1001, 7, -751, 5, -250, 2, 0, 0}},
      // To the nearest, not toward zero: +-1001 x 0.14645 = +-146.59 -> +-147.
      {{-1001, 1001, 1001, 1001}, 1, 4, 0, {0, 147, 500, 854}},
      // Off: unchanged; a partial frame at the end is left alone.
      {{7, -7, 7}, 1, 0, 0, {7, -7, 7}},
      {{100, 100, 100, 100, 55}, 2, 1, 1, {0, 0, 0, 0, 55}},
      {{32767, -32768}, 1, 2, 0, {0, -16384}},
  };
  for (const Case& c : cases) {
    std::vector<int16_t> samples = c.samples;
    ApplyFades(samples, c.channels, c.in, c.out);
    EXPECT_EQ(samples, c.expected) << c.channels << " channels, in " << c.in << " out " << c.out;
  }
}

TEST(ApplyFades, ALongRampKeepsToTheCosine) {
  const uint32_t frames = 3 * 44100;
  std::vector<int16_t> samples(frames + 10, 32767);
  ApplyFades(samples, 1, frames, 0);
  for (uint32_t i = 0; i < frames; i += 997)
    EXPECT_NEAR(samples[i], 32767 * FadeInGain(i, frames), 0.5 + 1e-6) << "frame " << i;
  EXPECT_EQ(samples[frames], 32767);
}

TEST(LouderGainDb, TargetPeakCeilingAndGate) {
  struct Case { double lufs, peakDbtp; bool applied; double gainDb; };
  const Case cases[] = {
      {-24.0, -12.0, true, 11.0},    // 12 dB would end the peak at 0 dBTP: 11
      {-24.0, -20.0, true, 12.0},    // peak ends at -8 dBTP
      {-20.0, -3.0, true, 2.0},      // the ceiling: -3 + 2 = -1 dBTP
      {-20.0, -0.5, true, -0.5},     // already over the ceiling: lowered
      {-8.0, -2.0, true, -4.0},      // louder than the target: brought down
      {-12.0, -1.0, true, 0.0},
      {-30.0, -Infinity, true, 18.0},  // no peak sets no limit
      {-Infinity, -40.0, false, 0.0},  // below the gate: left as it is
      {std::nan(""), -6.0, false, 0.0},
  };
  for (const Case& c : cases) {
    double gain = 123.0;
    const bool applied = LouderGainDb({c.lufs, c.peakDbtp}, &gain);
    EXPECT_EQ(applied, c.applied) << c.lufs << " LUFS, " << c.peakDbtp << " dBTP";
    if (c.applied) {
      EXPECT_NEAR(gain, std::min(c.gainDb, -1.0 - c.peakDbtp), 1e-12);
      EXPECT_LE(c.peakDbtp + gain, -1.0 + 1e-12);
    }
  }
}

TEST(ApplyGain, RoundsAndNeverWraps) {
  struct Case { double gainDb; std::vector<int16_t> samples, expected; };
  const double sixDb = 20.0 * std::log10(2.0);
  const Case cases[] = {
      {0.0, {1, -1, 32767, -32768}, {1, -1, 32767, -32768}},
      {sixDb, {100, -100, 3, -3}, {200, -200, 6, -6}},
      {-sixDb, {3, -3, 5, -5, 1}, {2, -2, 3, -3, 1}},  // halves round away from zero
      {sixDb, {20000, -20000, 16384, -16384}, {32767, -32768, 32767, -32768}},  // held, not wrapped
  };
  for (const Case& c : cases) {
    std::vector<int16_t> samples = c.samples;
    ApplyGain(samples, c.gainDb);
    EXPECT_EQ(samples, c.expected) << c.gainDb << " dB";
    // A clip of more than 65536 values (scaled through a table) comes out the same.
    std::vector<int16_t> longClip, longExpected;
    for (int i = 0; i < 20000; ++i) {
      longClip.insert(longClip.end(), c.samples.begin(), c.samples.end());
      longExpected.insert(longExpected.end(), c.expected.begin(), c.expected.end());
    }
    ApplyGain(longClip, c.gainDb);
    EXPECT_EQ(longClip, longExpected) << c.gainDb << " dB, a long clip";
  }
}

TEST(EditOptions, StoredValuesReadAsTheNearestOffered) {
  struct Case { uint32_t stored, read; };
  const Case cases[] = {{0, 0}, {500, 500}, {1000, 1000}, {2000, 2000}, {3000, 3000},
                        {1, 0}, {250, 0}, {251, 500}, {1400, 1000}, {1600, 2000},
                        {2500, 2000}, {2501, 3000}, {60000, 3000}, {0xFFFFFFFF, 3000}};
  for (const Case& c : cases) EXPECT_EQ(NearestFadeMs(c.stored), c.read) << c.stored;
  EXPECT_FALSE(StoredSwitch(0));
  EXPECT_TRUE(StoredSwitch(1));
  EXPECT_TRUE(StoredSwitch(7));
}

bool MeterAt18(std::span<const int16_t>, uint16_t, uint32_t, LoudnessReading* r) {
  *r = {-18.0, -20.0};  // "louder": +6 dB, under the peak ceiling
  return true;
}
bool MeterFails(std::span<const int16_t>, uint16_t, uint32_t, LoudnessReading*) { return false; }

TEST(EditedClip, TheSelectionsFramesCutAndEditedAsTheConversionDoes) {
  // 8 stereo frames at 4 Hz (500 ms is 2 frames): frame f holds 1000 (f + 1) and its negative.
  std::vector<uint8_t> song16;
  for (int f = 0; f < 8; ++f)
    for (int v : {1000 * (f + 1), -1000 * (f + 1)}) {
      song16.push_back(static_cast<uint8_t>(v & 0xFF));
      song16.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
  const std::vector<uint8_t> song8 = {128, 129, 0, 255};  // mono, unsigned
  struct Case {
    const char* what;
    const std::vector<uint8_t>& song;
    uint16_t channels, bits;
    uint32_t start, end;  // bytes
    EditOptions options;
    LoudnessMeter meter;
    std::vector<int16_t> clip;
  };
  const Case cases[] = {
      {"no edit: the frames as they are", song16, 2, 16, 8, 16, {}, MeterFails,
       {3000, -3000, 4000, -4000}},
      {"fade-in", song16, 2, 16, 4, 28, {.fadeInMs = 500}, MeterFails,
       {0, 0, 1500, -1500, 4000, -4000, 5000, -5000, 6000, -6000, 7000, -7000}},
      {"louder", song16, 2, 16, 0, 8, {.louder = true}, MeterAt18,
       {1995, -1995, 3991, -3991}},
      {"louder, the meter fails", song16, 2, 16, 0, 8, {.louder = true}, MeterFails, {}},
      {"fade-in, then louder", song16, 2, 16, 4, 28, {.fadeInMs = 500, .louder = true},
       MeterAt18, {0, 0, 2993, -2993, 7981, -7981, 9976, -9976, 11972, -11972, 13967, -13967}},
      {"8-bit song", song8, 1, 8, 0, 4, {}, MeterFails, {0, 256, -32768, 32512}},
      {"ends inside frames: whole frames", song16, 2, 16, 5, 11, {}, MeterFails,
       {2000, -2000}},
      {"past the song's end: held to it", song16, 2, 16, 24, 1000, {}, MeterFails,
       {7000, -7000, 8000, -8000}},
      {"empty range", song16, 2, 16, 8, 8, {.fadeInMs = 500}, MeterFails, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EditedClip(c.song, c.channels, c.bits, 4, c.start, c.end, c.options, c.meter), c.clip)
        << c.what;
}

}  // namespace
