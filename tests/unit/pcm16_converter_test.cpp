// The sample conversion to 16 bits over widths, float values out of range, channel counts and
// mixes, and the piece loop with its byte limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "import/pcm16_converter.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Samples = std::vector<int16_t>;

WavFormat Format(WavEncoding encoding, uint16_t bits, uint16_t channels, uint32_t mask = 0) {
  WavFormat f;
  f.formatTag = 0xFFFE;
  f.codec = encoding == WavEncoding::Float ? 3 : 1;
  f.encoding = encoding;
  f.bitsPerSample = bits;
  f.channels = channels;
  f.sampleRate = 48000;
  f.blockAlign = static_cast<uint16_t>(channels * f.SampleBytes());
  f.channelMask = mask;
  return f;
}

// Integer samples of `bytes` bytes each, little-endian, as a file holds them.
Bytes Ints(int bytes, std::initializer_list<int64_t> values) {
  Bytes b;
  for (int64_t v : values)
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
  return b;
}
template <class T>
Bytes Floats(std::initializer_list<T> values) {
  Bytes b;
  for (T v : values) {
    b.resize(b.size() + sizeof v);
    std::memcpy(b.data() + b.size() - sizeof v, &v, sizeof v);
  }
  return b;
}

Samples Convert(const WavFormat& f, const Bytes& in) {
  Pcm16Converter c(f);
  size_t frames = in.size() / f.blockAlign;
  Samples out(frames * c.OutputChannels());
  c.Convert(in.data(), frames, out.data());
  return out;
}

TEST(Pcm16Converter, WidthsRoundingAndFloatRange) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    WavFormat format;
    Bytes in;
    Samples out;
  };
  const Case cases[] = {
      {"8-bit is unsigned", Format(WavEncoding::Integer, 8, 1), Ints(1, {0x00, 0x80, 0xFF, 0x7F}),
       {-32768, 0, 32512, -256}},
      {"16-bit unchanged", Format(WavEncoding::Integer, 16, 1), Ints(2, {-32768, 0, 32767, -1}),
       {-32768, 0, 32767, -1}},
      {"12-bit sits in the high bits", Format(WavEncoding::Integer, 12, 1),
       Ints(2, {0x7FF0, -0x8000, 0x0010}), {32752, -32768, 16}},
      // 24 bits: x / 256 rounded to the nearest, halves to even, the top clamped.
      {"24-bit", Format(WavEncoding::Integer, 24, 1),
       Ints(3, {0x7FFFFF, -0x800000, 0x80, 0x180, -0x80, -0x180, 0x7F, 0x81, 0x12345}),
       {32767, -32768, 0, 2, 0, -2, 0, 1, 291}},
      {"32-bit", Format(WavEncoding::Integer, 32, 1),
       Ints(4, {0x7FFFFFFF, -0x80000000LL, 0x8000, 0x18000, -0x18001, 0x7FFF8000}),
       {32767, -32768, 0, 2, -2, 32767}},
      // Floats: x 32768, clamped to -1..1 first; NaN is silence.
      {"32-bit float", Format(WavEncoding::Float, 32, 1),
       Floats<float>({0.5f, 1.0f, -1.0f, 1.5f, -7.0f, 0.5f / 32768, 1.5f / 32768, -0.25f}),
       {16384, 32767, -32768, 32767, -32768, 0, 2, -8192}},
      {"32-bit float, not numbers", Format(WavEncoding::Float, 32, 1),
       Floats<float>({static_cast<float>(inf), static_cast<float>(-inf), static_cast<float>(nan)}),
       {32767, -32768, 0}},
      {"64-bit float", Format(WavEncoding::Float, 64, 1),
       Floats<double>({1e300, -1e-300, 0.999999, -0.999999, 100.49 / 32768, nan, -inf}),
       {32767, 0, 32767, -32768, 100, 0, -32768}},
      {"stereo keeps its order", Format(WavEncoding::Integer, 24, 2),
       Ints(3, {0x100, -0x200, 0x300, -0x400}), {1, -2, 3, -4}},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.format, c.in), c.out) << c.name;
}

TEST(Pcm16Converter, MoreThanTwoChannelsMixToStereoBySpeakerPosition) {
  const double c3 = 1 / (1 + std::sqrt(0.5));  // the scale of left + centre
  struct Case {
    const char* name;
    uint16_t channels;
    uint32_t mask;
    std::initializer_list<int64_t> frame;  // 16-bit values, one per channel
    double left, right;                    // expected, before rounding
  };
  const Case cases[] = {
      {"3 without a mask: left, right, centre", 3, 0, {1000, 0, 0}, 1000 * c3, 0},
      {"3: the centre goes to both sides", 3, 0, {0, 0, 1000}, 1000 * c3 * std::sqrt(0.5),
       1000 * c3 * std::sqrt(0.5)},
      {"quad: front and back add", 4, 0x33, {1000, 2000, 3000, 4000}, 2000, 3000},
      {"5.1: the low-frequency channel is left out", 6, 0x3F, {0, 0, 0, 30000, 0, 0}, 0, 0},
      {"5.1: right back", 6, 0x3F, {0, 0, 0, 0, 0, 10000}, 0,
       10000 / (2 + std::sqrt(0.5))},
      {"7.1 with side channels", 8, 0x63F, {0, 0, 0, 0, 0, 0, 8000, 0},
       8000 / (3 + std::sqrt(0.5)), 0},
      {"a mask with fewer speakers than channels", 3, 0x3, {0, 0, 1000},
       1000 * c3 * std::sqrt(0.5), 1000 * c3 * std::sqrt(0.5)},
      {"12 channels, no mask", 12, 0, {0, 1000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0,
       1000 / (4 + 3 * std::sqrt(0.5))},
  };
  for (const Case& c : cases) {
    Samples out = Convert(Format(WavEncoding::Integer, 16, c.channels, c.mask), Ints(2, c.frame));
    ASSERT_EQ(out.size(), 2u) << c.name;
    EXPECT_NEAR(out[0], c.left, 0.5) << c.name;
    EXPECT_NEAR(out[1], c.right, 0.5) << c.name;
  }
}

TEST(Pcm16Converter, TheMixIsScaledSoThatAllChannelsTogetherJustReachFullScale) {
  for (uint16_t channels = 3; channels <= 8; ++channels) {
    for (uint32_t mask : {0u, 0x3Fu, 0x63Fu, 0x107u, 0x3FFFFu}) {
      for (bool floats : {false, true}) {
        // Every channel at the same level: the louder side of the mix lands on that level of
        // full scale, so nothing is clipped and nothing is needlessly quieter.
        for (double level : {1.0, -1.0, 0.5, -0.25}) {
          WavFormat f = Format(floats ? WavEncoding::Float : WavEncoding::Integer,
                               floats ? 32 : 24, channels, mask);
          Bytes frame;
          for (int c = 0; c < channels; ++c) {
            Bytes one = floats ? Floats<float>({static_cast<float>(level)})
                               : Ints(3, {std::clamp<int64_t>(std::llround(level * 0x800000),
                                                              -0x800000, 0x7FFFFF)});
            frame.insert(frame.end(), one.begin(), one.end());
          }
          Samples out = Convert(f, frame);
          std::string what = std::to_string(channels) + " channels, mask " +
                             std::to_string(mask) + (floats ? ", float, " : ", integer, ") +
                             std::to_string(level);
          double louder = std::abs(out[0]) > std::abs(out[1]) ? out[0] : out[1];
          EXPECT_NEAR(louder, std::clamp(level * 32768, -32768.0, 32767.0), 1) << what;
          for (int16_t s : out) EXPECT_GE(s * level, 0) << what;
        }
      }
    }
  }
}

TEST(ConvertToPcm16, PiecesJoinUpAndTheByteLimitCutsAfterThePieceThatPassesIt) {
  WavFormat f = Format(WavEncoding::Integer, 24, 2);
  const size_t frames = 40000;  // two whole pieces and part of a third
  Bytes data(frames * 6);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 7));
  const Samples whole = Convert(f, data);

  struct Case {
    const char* name;
    uint64_t limit;
    size_t framesOut;
    bool truncated;
  };
  const Case cases[] = {
      {"under the limit", frames * 4, frames, false},
      {"the last piece passes the limit: nothing is cut", frames * 4 - 1, frames, false},
      {"the first piece passes it", 1, 16384, true},
      {"the second piece passes it", 16384 * 4, 32768, true},
  };
  for (const Case& c : cases) {
    Samples joined;
    size_t lastConsumed = 0;
    Pcm16Result r = ConvertToPcm16(data, f, c.limit, [&](std::span<const int16_t> s, size_t consumed) {
      joined.insert(joined.end(), s.begin(), s.end());
      EXPECT_GT(consumed, lastConsumed);
      lastConsumed = consumed;
      return true;
    });
    EXPECT_EQ(r.truncated, c.truncated) << c.name;
    EXPECT_FALSE(r.stopped) << c.name;
    EXPECT_EQ(r.bytesOut, c.framesOut * 4) << c.name;
    EXPECT_EQ(lastConsumed, c.framesOut * 6) << c.name;
    EXPECT_TRUE(std::equal(joined.begin(), joined.end(), whole.begin())) << c.name;
    EXPECT_EQ(joined.size(), c.framesOut * 2) << c.name;
  }

  // A writer that fails stops the loop at once.
  int calls = 0;
  Pcm16Result r = ConvertToPcm16(data, f, ~0ull, [&](std::span<const int16_t>, size_t) {
    return ++calls < 2;
  });
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(r.bytesOut, 16384u * 4);
}

}  // namespace
