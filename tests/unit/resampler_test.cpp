#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "import/pcm_resampler.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr double Pi = 3.14159265358979323846;

// 16-bit interleaved tone; `phaseStep` shifts the right channel.
Bytes Tone(uint32_t rate, int channels, double hz, double amplitude, size_t frames,
           double rightScale = 1.0) {
  Bytes out;
  out.reserve(frames * channels * 2);
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      double v = amplitude * std::sin(2 * Pi * hz * i / rate) * (c == 1 ? rightScale : 1.0);
      int s = static_cast<int>(std::lrint(v * 32767));
      out.push_back(static_cast<uint8_t>(s & 0xFF));
      out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
  }
  return out;
}

std::vector<double> Samples16(const Bytes& b, int channels, int channel) {
  std::vector<double> out;
  for (size_t i = channel * 2; i + 1 < b.size(); i += channels * 2)
    out.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8) / 32768.0);
  return out;
}

// Converts in pieces of `piece` bytes (0 = all at once) with a buffer that is exactly as large
// as the driver promises for each piece.
Bytes ConvertAll(PcmResampler& r, const Bytes& in, size_t piece, bool announceTotal, bool markLast) {
  if (announceTotal) r.SetTotalSourceBytes(in.size());
  Bytes out;
  size_t at = 0;
  if (piece == 0) piece = in.size() ? in.size() : 1;
  do {
    size_t n = std::min(piece, in.size() - at);
    Bytes buf(r.MaxTargetBytes(n));
    bool last = markLast && at + n == in.size();
    size_t w = r.Convert(in.data() + at, n, buf.data(), buf.size(), last);
    EXPECT_LE(w, buf.size());
    out.insert(out.end(), buf.begin(), buf.begin() + w);
    at += n;
  } while (at < in.size());
  return out;
}

// Residual of a least-squares fit of a sine of known frequency, as SNR in dB.
double ToneSnrDb(const std::vector<double>& x, double hz, uint32_t rate, size_t skip) {
  double ss = 0, sc = 0, cc = 0, xs = 0, xc = 0;
  for (size_t i = skip; i + skip < x.size(); ++i) {
    double s = std::sin(2 * Pi * hz * i / rate), c = std::cos(2 * Pi * hz * i / rate);
    ss += s * s; sc += s * c; cc += c * c; xs += x[i] * s; xc += x[i] * c;
  }
  double det = ss * cc - sc * sc;
  double a = (xs * cc - xc * sc) / det, b = (xc * ss - xs * sc) / det;
  double signal = 0, noise = 0;
  for (size_t i = skip; i + skip < x.size(); ++i) {
    double fit = a * std::sin(2 * Pi * hz * i / rate) + b * std::cos(2 * Pi * hz * i / rate);
    signal += fit * fit;
    noise += (x[i] - fit) * (x[i] - fit);
  }
  return 10 * std::log10(signal / std::max(noise, 1e-30));
}

double RmsDb(const std::vector<double>& x, size_t skip) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = skip; i + skip < x.size(); ++i, ++n) sum += x[i] * x[i];
  return 10 * std::log10(std::max(sum / std::max<size_t>(n, 1), 1e-30));
}

PcmLayout Layout(uint32_t rate, int channels, int bits = 16) {
  return PcmLayout{rate, static_cast<uint16_t>(channels), static_cast<uint16_t>(bits)};
}

TEST(PcmResampler, SupportsOnlyIntegerPcmToSixteenBitMonoOrStereo) {
  EXPECT_TRUE(PcmResampler::Supports(Layout(44100, 2), Layout(8000, 1)));
  EXPECT_TRUE(PcmResampler::Supports(Layout(8000, 1, 8), Layout(44100, 2)));
  EXPECT_TRUE(PcmResampler::Supports(Layout(96000, 2, 24), Layout(8000, 1)));
  EXPECT_FALSE(PcmResampler::Supports(Layout(44100, 2), Layout(8000, 1, 8)));
  EXPECT_FALSE(PcmResampler::Supports(Layout(44100, 3), Layout(8000, 1)));
  EXPECT_FALSE(PcmResampler::Supports(Layout(44100, 2, 12), Layout(8000, 1)));
  EXPECT_FALSE(PcmResampler::Supports(Layout(0, 2), Layout(8000, 1)));
  EXPECT_FALSE(PcmResampler::Supports(Layout(4000000, 2), Layout(8000, 1)));
  PcmResampler r;
  EXPECT_FALSE(r.Open(Layout(44100, 0), Layout(8000, 1)));
  EXPECT_EQ(r.Convert(nullptr, 0, nullptr, 0, true), 0u);
}

TEST(PcmResampler, LengthIsExactForEveryInputLength) {
  for (uint32_t rate : {44100u, 22050u, 11025u, 48000u, 8000u}) {
    for (size_t frames : {size_t{0}, size_t{1}, size_t{2}, size_t{441}, size_t{12345}}) {
      PcmResampler r;
      ASSERT_TRUE(r.Open(Layout(rate, 2), Layout(8000, 1)));
      Bytes out = ConvertAll(r, Tone(rate, 2, 440, 0.5, frames), 4096, true, false);
      EXPECT_EQ(out.size() / 2, PcmResampler::TargetFrames(frames, rate, 8000))
          << rate << " Hz, " << frames << " frames";
    }
  }
  EXPECT_EQ(PcmResampler::TargetFrames(44100, 44100, 8000), 8000u);
  EXPECT_EQ(PcmResampler::TargetFrames(1, 44100, 8000), 1u);
  EXPECT_EQ(PcmResampler::TargetFrames(8000, 8000, 44100), 44100u);
}

TEST(PcmResampler, OutputDoesNotDependOnHowTheInputIsCut) {
  Bytes in = Tone(44100, 2, 1000, 0.7, 30000);
  PcmResampler whole;
  ASSERT_TRUE(whole.Open(Layout(44100, 2), Layout(8000, 1)));
  Bytes reference = ConvertAll(whole, in, 0, true, false);

  for (size_t piece : {size_t{4096}, size_t{4095}, size_t{1}, size_t{7777}}) {
    PcmResampler r;
    ASSERT_TRUE(r.Open(Layout(44100, 2), Layout(8000, 1)));
    EXPECT_EQ(ConvertAll(r, in, piece, true, false), reference) << "pieces of " << piece;
  }
  // Without the total, the END mark flushes the same tail.
  PcmResampler marked;
  ASSERT_TRUE(marked.Open(Layout(44100, 2), Layout(8000, 1)));
  EXPECT_EQ(ConvertAll(marked, in, 4096, false, true), reference);

  // Random pieces with a cramped output buffer: what does not fit comes out later.
  std::mt19937 rng(7);
  PcmResampler cramped;
  ASSERT_TRUE(cramped.Open(Layout(44100, 2), Layout(8000, 1)));
  cramped.SetTotalSourceBytes(in.size());
  Bytes out;
  size_t at = 0;
  while (at < in.size()) {
    size_t n = std::min<size_t>(rng() % 3000, in.size() - at);
    Bytes buf(rng() % 600 + 2);
    size_t w = cramped.Convert(in.data() + at, n, buf.data(), buf.size(), false);
    out.insert(out.end(), buf.begin(), buf.begin() + w);
    at += n;
  }
  for (;;) {
    Bytes buf(64);
    size_t w = cramped.Convert(nullptr, 0, buf.data(), buf.size(), false);
    if (w == 0) break;
    out.insert(out.end(), buf.begin(), buf.begin() + w);
  }
  EXPECT_EQ(out, reference);
}

TEST(PcmResampler, BytesBeyondTheAnnouncedTotalAreIgnored) {
  Bytes in = Tone(44100, 2, 1000, 0.5, 4410);
  PcmResampler r;
  ASSERT_TRUE(r.Open(Layout(44100, 2), Layout(8000, 1)));
  r.SetTotalSourceBytes(in.size() - 4 * 441);
  Bytes out = ConvertAll(r, in, 4096, false, false);
  EXPECT_EQ(out.size() / 2, 720u);
}

TEST(PcmResampler, SameRateAndLayoutCopiesSamplesUnchanged) {
  Bytes in = Tone(44100, 2, 1234, 1.0, 5000, -0.8);
  in[0] = 0x00; in[1] = 0x80;  // -32768
  in[2] = 0xFF; in[3] = 0x7F;  // 32767
  PcmResampler stereo;
  ASSERT_TRUE(stereo.Open(Layout(44100, 2), Layout(44100, 2)));
  EXPECT_EQ(ConvertAll(stereo, in, 4096, true, false), in);

  Bytes mono = Tone(8000, 1, 300, 0.9, 999);
  PcmResampler same;
  ASSERT_TRUE(same.Open(Layout(8000, 1), Layout(8000, 1)));
  EXPECT_EQ(ConvertAll(same, mono, 2048, true, false), mono);
}

TEST(PcmResampler, StereoFoldsToTheAverageWithoutClipping) {
  // Both channels at full scale: a plain sum would wrap or clip at twice the range.
  Bytes in;
  const int16_t pairs[][2] = {{32767, 32767}, {-32768, -32768}, {30000, -30000},
                              {1000, 3000}, {-32768, 32767}};
  for (auto& p : pairs)
    for (int16_t v : p) {
      in.push_back(static_cast<uint8_t>(v & 0xFF));
      in.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
  PcmResampler r;
  ASSERT_TRUE(r.Open(Layout(8000, 2), Layout(8000, 1)));
  std::vector<double> out = Samples16(ConvertAll(r, in, 0, true, false), 1, 0);
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(std::lrint(out[0] * 32768), 32767);
  EXPECT_EQ(std::lrint(out[1] * 32768), -32768);
  EXPECT_EQ(std::lrint(out[2] * 32768), 0);
  EXPECT_EQ(std::lrint(out[3] * 32768), 2000);
  EXPECT_LE(std::abs(std::lrint(out[4] * 32768)), 1);

  // Loud in-phase music folded and resampled keeps its level: no +6 dB.
  Bytes loud = Tone(44100, 2, 500, 0.9, 44100);
  PcmResampler down;
  ASSERT_TRUE(down.Open(Layout(44100, 2), Layout(8000, 1)));
  std::vector<double> folded = Samples16(ConvertAll(down, loud, 4096, true, false), 1, 0);
  EXPECT_NEAR(RmsDb(folded, 400), 20 * std::log10(0.9 / std::sqrt(2.0)), 0.05);
}

TEST(PcmResampler, DownsamplingRemovesWhatWouldAlias) {
  // 6 kHz cannot exist at 8 kHz; without a filter it folds to 2 kHz at full level.
  PcmResampler r;
  ASSERT_TRUE(r.Open(Layout(44100, 2), Layout(8000, 1)));
  std::vector<double> alias =
      Samples16(ConvertAll(r, Tone(44100, 2, 6000, 0.9, 44100), 4096, true, false), 1, 0);
  EXPECT_LE(RmsDb(alias, 400) - 20 * std::log10(0.9 / std::sqrt(2.0)), -60.0);

  for (uint32_t rate : {22050u, 11025u, 48000u}) {
    PcmResampler other;
    ASSERT_TRUE(other.Open(Layout(rate, 1), Layout(8000, 1)));
    std::vector<double> out =
        Samples16(ConvertAll(other, Tone(rate, 1, 5000, 0.9, rate), 4096, true, false), 1, 0);
    EXPECT_LE(RmsDb(out, 400), -60.0) << rate;
  }
}

TEST(PcmResampler, PassbandToneComesThroughCleanAndAtLevel) {
  struct Case { uint32_t from; int fromChannels; uint32_t to; int toChannels; double hz; };
  const Case cases[] = {{44100, 2, 8000, 1, 1000}, {22050, 1, 8000, 1, 3000},
                        {8000, 1, 44100, 2, 1000}, {11025, 2, 44100, 2, 2500},
                        {44101, 1, 8000, 1, 1000}};  // no common factor: interpolated phases
  for (const Case& c : cases) {
    PcmResampler r;
    ASSERT_TRUE(r.Open(Layout(c.from, c.fromChannels), Layout(c.to, c.toChannels)));
    Bytes out = ConvertAll(r, Tone(c.from, c.fromChannels, c.hz, 0.5, c.from), 4096, true, false);
    ASSERT_EQ(out.size() / (2 * c.toChannels), PcmResampler::TargetFrames(c.from, c.from, c.to));
    for (int ch = 0; ch < c.toChannels; ++ch) {
      std::vector<double> x = Samples16(out, c.toChannels, ch);
      EXPECT_GE(ToneSnrDb(x, c.hz, c.to, c.to / 20), 75.0) << c.from << "->" << c.to;
      EXPECT_NEAR(RmsDb(x, c.to / 20), 20 * std::log10(0.5 / std::sqrt(2.0)), 0.05);
    }
  }
}

TEST(PcmResampler, ReadsEightTwentyFourAndThirtyTwoBitSamples) {
  auto convertOne = [](int bits, const Bytes& frame) {
    PcmResampler r;
    EXPECT_TRUE(r.Open(Layout(8000, 1, bits), Layout(8000, 1)));
    uint8_t out[2] = {};
    r.SetTotalSourceBytes(frame.size());
    EXPECT_EQ(r.Convert(frame.data(), frame.size(), out, 2, false), 2u);
    return static_cast<int16_t>(out[0] | out[1] << 8);
  };
  EXPECT_EQ(convertOne(8, {128}), 0);
  EXPECT_EQ(convertOne(8, {0}), -32768);
  EXPECT_EQ(convertOne(8, {255}), 32512);
  EXPECT_EQ(convertOne(24, {0x00, 0x00, 0x80}), -32768);
  EXPECT_EQ(convertOne(24, {0xFF, 0x34, 0x12}), 0x1235);
  EXPECT_EQ(convertOne(32, {0, 0, 0x00, 0x40}), 16384);
  EXPECT_EQ(convertOne(32, {0xFF, 0xFF, 0xFF, 0x7F}), 32767);
}

}  // namespace
