#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "analysis/beat_snap.h"
#include "analysis/best_part.h"

namespace {

constexpr uint32_t Rate = 8000;

// A section of song: chords (MIDI notes) of 2 s each, with `harmonics` partials and a click
// on every beat of 0.5 s, at `level`.
struct Section {
  std::vector<std::vector<int>> chords;
  int harmonics;
  double level;
};

// Each chord's 2 seconds are the same wherever it comes: computed once per section.
void Append(std::vector<int16_t>& pcm, const Section& section, double seconds) {
  std::vector<std::vector<int16_t>> blocks;
  for (const auto& chord : section.chords) {
    std::vector<int16_t> block(2 * Rate);
    for (size_t n = 0; n < block.size(); ++n) {
      const double t = double(n) / Rate;
      double v = 0;
      for (int note : chord) {
        const double hz = 440 * std::pow(2.0, (note - 69) / 12.0);
        for (int h = 1; h <= section.harmonics; ++h) v += std::sin(2 * std::numbers::pi * hz * h * t) / h;
      }
      const double click = std::fmod(t, 0.5) < 0.01 ? 0.8 * std::sin(2 * std::numbers::pi * 1500 * t) : 0;
      block[n] = int16_t(std::lround(std::clamp((v / (2.0 * chord.size()) + click) * section.level, -1.0, 1.0) * 32000));
    }
    blocks.push_back(std::move(block));
  }
  for (size_t n = 0; n < size_t(seconds * Rate); ++n)
    pcm.push_back(blocks[(n / (2 * Rate)) % blocks.size()][n % (2 * Rate)]);
}

const Section A{{{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}}, 2, 0.4};
const Section B{{{65, 69, 72}, {67, 71, 74}, {64, 67, 71}, {69, 72, 76}}, 5, 0.7};
const Section C{{{62, 66, 69}, {61, 64, 68}}, 1, 0.3};

// d.wav's bytes of 16-bit samples (this machine is little-endian, as the file is).
PcmSong Pcm16(const std::vector<int16_t>& pcm, uint32_t rate, uint16_t channels) {
  return {{reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * 2}, rate, channels, 16};
}

std::vector<int16_t> Song(const std::vector<const Section*>& form, double sectionSeconds) {
  std::vector<int16_t> pcm;
  for (const Section* s : form) Append(pcm, *s, sectionSeconds);
  return pcm;
}

}  // namespace

TEST(BestPart, FindsTheRepeatedLoudSectionOnItsOnset) {
  const double section = 12;
  const auto pcm = Song({&A, &B, &A, &B, &C, &B}, section);
  BestPartProposal out[BestPartMaxProposals];
  const int count = FindBestParts(Pcm16(pcm, Rate, 1), 10000, nullptr, out);
  ASSERT_GE(count, 1);
  const double start = double(out[0].startFrame) / Rate;
  const double nearestB = std::min({std::abs(start - 12), std::abs(start - 36), std::abs(start - 60)});
  EXPECT_LE(nearestB, 1.0) << start;
  EXPECT_EQ(out[0].endFrame - out[0].startFrame, 10u * Rate);
  EXPECT_GT(out[0].confidence, 0.5);
  for (int i = 1; i < count; ++i) {
    EXPECT_LE(out[i].confidence, out[i - 1].confidence);
    EXPECT_GE(std::llabs(int64_t(out[i].startFrame) - int64_t(out[0].startFrame)), 5 * int64_t(Rate));
  }
}

TEST(BestPart, EdgeCases) {
  std::vector<int16_t> silence(60 * Rate, 0);
  const auto shortSong = Song({&B}, 5);
  // Nothing ever comes back: noise, louder in its second half.
  std::vector<int16_t> noise;
  uint32_t seed = 1;
  for (size_t n = 0; n < 90 * Rate; ++n) {
    seed = seed * 1664525u + 1013904223u;
    noise.push_back(int16_t((int32_t(seed >> 16) - 32768) / (n < 45 * Rate ? 8 : 2)));
  }
  const std::vector<int16_t> odd = {30000, 20000, 10000};
  std::vector<uint8_t> eightBits;  // the short song again, as 8-bit samples
  for (int16_t v : shortSong) eightBits.push_back(uint8_t((v >> 8) + 128));
  const struct {
    const char* name;
    PcmSong song;
    int count;
    double firstStartMin, confidenceMax;
  } cases[] = {
      {"silence", Pcm16(silence, Rate, 1), 0, 0, 0},
      {"shorter than the clip: the whole song", Pcm16(shortSong, Rate, 1), 1, 0, 0},
      {"8-bit samples", {eightBits, Rate, 1, 8}, 1, 0, 0},
      {"no repetition: the loudest part, low confidence", Pcm16(noise, Rate, 1), 1, 45, 0.1},
      {"no rate", Pcm16(noise, 0, 1), 0, 0, 0},
      {"no channels", Pcm16(noise, Rate, 0), 0, 0, 0},
      {"24-bit samples", {{eightBits}, Rate, 1, 24}, 0, 0, 0},
      {"half a frame", Pcm16(odd, Rate, 2), 1, 0, 0},
  };
  for (const auto& c : cases) {
    BestPartProposal out[BestPartMaxProposals];
    const int count = FindBestParts(c.song, 10000, nullptr, out);
    if (c.count == 0) {
      EXPECT_EQ(count, 0) << c.name;
      continue;
    }
    ASSERT_GE(count, c.count) << c.name;
    EXPECT_GE(double(out[0].startFrame) / Rate, c.firstStartMin) << c.name;
    EXPECT_LE(out[0].confidence, c.confidenceMax) << c.name;
    EXPECT_LE(out[0].endFrame, c.song.Frames()) << c.name;
  }
}

TEST(BestPart, ACancelledSearchReturnsAtOnce) {
  const auto pcm = Song({&A, &B, &A, &B}, 12);
  std::atomic<bool> cancel{true};
  BestPartProposal out[BestPartMaxProposals];
  EXPECT_EQ(FindBestParts(Pcm16(pcm, Rate, 1), 10000, &cancel, out), -1);
}

TEST(BeatSnap, PeriodAndGrid) {
  // Onsets 50 values a second: a beat every 25 (120 a minute), the bar's first louder.
  std::vector<float> onsets(800, 0.0f);
  for (size_t i = 7; i < onsets.size(); i += 25) onsets[i] = ((i - 7) / 25) % 4 == 0 ? 2.0f : 1.0f;
  EXPECT_EQ(BeatPeriod(onsets, 50), 25);
  EXPECT_EQ(BeatPeriod(std::vector<float>(800, 0.0f), 50), 0);
  const struct { int32_t near, reach, expected; } cases[] = {
      {10, 5, 7},     // the nearest beat
      {90, 30, 107},  // a bar's first beat beats the nearer plain one at 82
      {300, 0, 300},  // no reach: stays
  };
  for (const auto& c : cases) EXPECT_EQ(BestGridStart(onsets, c.near, c.reach, 25), c.expected) << c.near;
}
