#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "encoders/ringm/smaf_file.h"
#include "encoders/ringm/wsc_cnv.h"
#include "encoders/ringm/yamaha_adpcm.h"
#if __has_include("encode/mmf_call.h")
#include "encode/mmf_call.h"
#define QV_HAVE_MMF_CALLER 1
#endif

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
Bytes Wav(const std::vector<int16_t>& samples, uint16_t channels = 1, uint32_t rate = 8000,
          uint16_t tag = 1) {
  Bytes b{'R', 'I', 'F', 'F'};
  Put32(b, static_cast<uint32_t>(36 + samples.size() * 2));
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(b, 16);
  Put16(b, tag);
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * channels * 2);
  Put16(b, static_cast<uint16_t>(channels * 2));
  Put16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  Put32(b, static_cast<uint32_t>(samples.size() * 2));
  for (int16_t s : samples) Put16(b, static_cast<uint16_t>(s));
  return b;
}

// Voice-like test signal: a gliding harmonic tone with a syllable envelope and some noise.
std::vector<int16_t> Voice(size_t count, uint32_t rate = 8000) {
  std::vector<int16_t> s(count);
  uint32_t noise = 12345;
  double phase = 0;
  for (size_t i = 0; i < count; ++i) {
    double t = static_cast<double>(i) / rate;
    double f0 = 140 + 60 * std::sin(2 * std::numbers::pi * 1.3 * t);
    phase += 2 * std::numbers::pi * f0 / rate;
    double v = 0;
    for (int h = 1; h <= 12; ++h) v += std::sin(h * phase) / h;
    double envelope = 0.2 + 0.8 * std::fabs(std::sin(2 * std::numbers::pi * 2.5 * t));
    noise = noise * 1664525u + 1013904223u;
    double hiss = (static_cast<double>(noise >> 8) / (1u << 24) - 0.5) * 0.05;
    s[i] = static_cast<int16_t>(std::lround(9000 * envelope * v + 9000 * hiss));
  }
  return s;
}

double SnrDb(const std::vector<int16_t>& ref, const std::vector<int16_t>& test) {
  double signal = 0, error = 0;
  for (size_t i = 0; i < ref.size(); ++i) {
    signal += double(ref[i]) * ref[i];
    error += double(ref[i] - test[i]) * (ref[i] - test[i]);
  }
  return 10 * std::log10(signal / std::max(error, 1.0));
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Reads an MMF the way a player does and returns the wave bytes (empty on any fault).
struct ParsedMmf {
  std::vector<std::string> chunks;  // top-level ids inside MMMD, then the track's
  Bytes atsq, wave, opda;
  uint8_t waveType = 0, timebase = 0;
};
ParsedMmf Parse(const Bytes& f) {
  ParsedMmf m;
  EXPECT_GE(f.size(), 10u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "MMMD");
  EXPECT_EQ(Be32(&f[4]), f.size() - 8);
  uint16_t crc = static_cast<uint16_t>(f[f.size() - 2] << 8 | f[f.size() - 1]);
  EXPECT_EQ(crc, SmafCrc16(std::span(f).first(f.size() - 2)));
  size_t at = 8, end = f.size() - 2;
  while (at + 8 <= end) {
    std::string id(f.begin() + at, f.begin() + at + 4);
    size_t size = Be32(&f[at + 4]);
    EXPECT_LE(at + 8 + size, end) << id;
    if (at + 8 + size > end) break;
    m.chunks.push_back(id);
    if (id == "OPDA") m.opda.assign(f.begin() + at + 8, f.begin() + at + 8 + size);
    if (id == std::string("ATR\0", 4)) {
      m.waveType = f[at + 10];
      m.timebase = f[at + 12];
      size_t t = at + 14, trackEnd = at + 8 + size;
      while (t + 8 <= trackEnd) {
        std::string sub(f.begin() + t, f.begin() + t + 4);
        size_t subSize = Be32(&f[t + 4]);
        m.chunks.push_back(sub);
        Bytes body(f.begin() + t + 8, f.begin() + t + 8 + subSize);
        if (sub == "Atsq") m.atsq = body;
        if (sub == std::string("Awa\1", 4)) m.wave = body;
        t += 8 + subSize;
      }
      EXPECT_EQ(t, trackEnd);
    }
    at += 8 + size;
  }
  EXPECT_EQ(at, end);
  return m;
}

Bytes Convert(const Bytes& wav, const WscCnvOptions* options = nullptr, int width = 16) {
  Bytes out((wav.size() + 1000) * 4);
  int32_t n = ConvertWavToMmf(wav, options, out.data(), static_cast<uint32_t>(out.size()), width);
  EXPECT_GT(n, 0);
  out.resize(n > 0 ? n : 0);
  return out;
}

TEST(SmafCrc16, IsTheInvertedCcittSum) {
  const char* check = "123456789";
  EXPECT_EQ(SmafCrc16(std::span(reinterpret_cast<const uint8_t*>(check), 9)), 0xD64E);
  EXPECT_EQ(SmafCrc16({}), 0x0000);
}

TEST(WscCnv, WritesAPlayableSmafFileWithOneAdpcmWave) {
  std::vector<int16_t> voice = Voice(8001);  // odd: the last byte holds a padding nibble
  Bytes mmf = Convert(Wav(voice));
  ParsedMmf m = Parse(mmf);
  std::vector<std::string> expected = {"CNTI", std::string("ATR\0", 4), "Atsq",
                                       std::string("Awa\1", 4)};
  EXPECT_EQ(m.chunks, expected);  // no OPDA without texts
  EXPECT_EQ(m.waveType, 0x11);    // mono, ADPCM, 8000 Hz
  EXPECT_EQ(m.timebase, 0x02);    // 4 ms
  ASSERT_EQ(m.wave.size(), 4001u);
  // One note of wave 1 for 1.000125 s = 251 ticks of 4 ms, then nop and end of sequence.
  Bytes atsq = {0x00, 0x01, 0x80, 0x7B, 0x80, 0x7B, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(m.atsq, atsq);

  std::vector<int16_t> decoded(voice.size());
  ASSERT_EQ(YamahaAdpcmDecode(m.wave, voice.size(), decoded.data()), voice.size());
  EXPECT_GT(SnrDb(voice, decoded), 15.0);
}

TEST(WscCnv, SearchBeatsThePlainEncoder) {
  std::vector<int16_t> voice = Voice(16000);
  std::vector<int16_t> plain(voice.size()), searched(voice.size());
  Bytes a(YamahaAdpcmBytes(voice.size())), b(a.size());
  ASSERT_TRUE(YamahaAdpcmEncode(voice, a, 1));
  ASSERT_TRUE(YamahaAdpcmEncode(voice, b, DefaultAdpcmSearchWidth));
  YamahaAdpcmDecode(a, voice.size(), plain.data());
  YamahaAdpcmDecode(b, voice.size(), searched.data());
  double gain = SnrDb(voice, searched) - SnrDb(voice, plain);
  EXPECT_GT(gain, 1.0) << "plain " << SnrDb(voice, plain);
  // A full-scale square wave drives the predictor into its clip and the step to its top.
  std::vector<int16_t> square(4000), back(4000);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 ? 32767 : -32768;
  Bytes c(YamahaAdpcmBytes(square.size()));
  ASSERT_TRUE(YamahaAdpcmEncode(square, c));
  YamahaAdpcmDecode(c, square.size(), back.data());
  EXPECT_GT(SnrDb(square, back), 5.0);
}

TEST(WscCnv, AsksForRoomOrFailsWithoutWritingAnything) {
  Bytes wav = Wav(Voice(1000));
  Bytes mmf = Convert(wav);
  Bytes out(mmf.size() + 16, 0xCD);
  EXPECT_EQ(ConvertWavToMmf(wav, nullptr, out.data(), uint32_t(mmf.size() - 1), 16),
            WscCnvOutputTooSmall);
  EXPECT_EQ(ConvertWavToMmf(wav, nullptr, nullptr, 0, 16), WscCnvOutputTooSmall);
  EXPECT_EQ(out, Bytes(mmf.size() + 16, 0xCD));
  EXPECT_EQ(ConvertWavToMmf(wav, nullptr, out.data(), uint32_t(mmf.size()), 16),
            int32_t(mmf.size()));
  EXPECT_TRUE(std::equal(mmf.begin(), mmf.end(), out.begin()));
  EXPECT_EQ(out[mmf.size()], 0xCD);

  Bytes garbage(200, 'x');
  Bytes bad[] = {Bytes{}, garbage, Wav(Voice(100), 2), Wav(Voice(100), 1, 48000),
                 Wav(Voice(100), 1, 8000, 3), Wav({})};
  for (const Bytes& input : bad) {
    Bytes target(4096, 0xCD);
    EXPECT_EQ(ConvertWavToMmf(input, nullptr, target.data(), 4096, 16), WscCnvFailed);
    EXPECT_EQ(target, Bytes(4096, 0xCD));
  }
}

TEST(WscCnv, OptionTextsGoIntoTheOptionData) {
  WscCnvOptions options;
  std::string copyright(300, 'C');  // longer than a text may be
  options.text[0] = "Ring";
  options.text[1] = "";
  options.text[5] = copyright.c_str();
  ParsedMmf m = Parse(Convert(Wav(Voice(100)), &options));
  ASSERT_EQ(m.chunks.size(), 5u);
  EXPECT_EQ(m.chunks[1], "OPDA");
  Bytes expected = {'D', 'c', 'h', 0x01, 0, 0, 1, 11, 'S', 'T', 0, 4, 'R', 'i', 'n', 'g',
                    'C', 'R', 0, 255};
  for (int i = 0; i < 255; ++i) expected.push_back('C');
  EXPECT_EQ(m.opda, expected);
}

#ifdef QV_HAVE_MMF_CALLER
// The record the program's MMF converter passes must have the layout the library reads.
TEST(WscCnv, OptionsRecordMatchesTheCallersRecord) {
  static_assert(sizeof(WscCnvOptions) == sizeof(MmfOptions));
  static_assert(offsetof(WscCnvOptions, recordFlags) == offsetof(MmfOptions, second));
  static_assert(offsetof(WscCnvOptions, text) == offsetof(MmfOptions, texts));
  static_assert(WscCnvTextFields == MmfOptionTextCount);
  static_assert(WscCnvOptionWord == MmfOptionWord && WscCnvWorkAreaBytes == MmfWorkAreaBytes);
  MmfOptions callers;
  WscCnvOptions received;
  std::memcpy(static_cast<void*>(&received), &callers, sizeof received);  // what crosses the library boundary
  EXPECT_EQ(received.recordFlags, 0xF8);
  ParsedMmf m = Parse(Convert(Wav(Voice(100)), &received));
  EXPECT_TRUE(m.opda.empty());  // all its texts are empty
}
#endif

TEST(SmafPlan, CodesRatesAndPicksATimebaseTheNoteFits) {
  SmafContent content;
  SmafPlan plan;
  for (uint32_t rate : {4000u, 8000u, 11025u, 22050u, 44100u}) {
    ASSERT_TRUE(PlanSmafFile(rate, 100, content, plan)) << rate;
    EXPECT_EQ(plan.rateCode, SmafRateCode(rate));
  }
  EXPECT_FALSE(PlanSmafFile(16000, 100, content, plan));
  EXPECT_FALSE(PlanSmafFile(8000, 0, content, plan));
  // Two duration bytes reach 16511 ticks: 66 s in 4 ms steps, about 13.7 minutes in 50 ms.
  ASSERT_TRUE(PlanSmafFile(8000, 8000 * 66, content, plan));
  EXPECT_EQ(plan.timebaseCode, 0x02);
  EXPECT_EQ(plan.gateTicks, 16500u);
  ASSERT_TRUE(PlanSmafFile(8000, 8000 * 67, content, plan));
  EXPECT_EQ(plan.timebaseCode, 0x03);
  EXPECT_EQ(plan.gateTicks, 13400u);
  ASSERT_TRUE(PlanSmafFile(8000, 8000 * 825, content, plan));
  EXPECT_EQ(plan.timebaseCode, 0x13);
  EXPECT_FALSE(PlanSmafFile(8000, 8000 * 826, content, plan));
}

}  // namespace
