#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "encoders/ringm/wsc_cnv.h"
#include "encoders/ringm/yamaha_adpcm.h"
#include "formats/smaf_file.h"
#if __has_include("encode/mmf_call.h")
#include "encode/mmf_call.h"
#define QV_HAVE_MMF_CALLER 1
#endif

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, uint32_t v, int bytes, bool bigEndian = false) {
  for (int i = 0; i < bytes; ++i) {
    b.push_back(static_cast<uint8_t>(v >> 8 * (bigEndian ? bytes - 1 - i : i)));
  }
}
void Put(Bytes& b, const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(text[i]));
}

Bytes Wav(const std::vector<int16_t>& samples, uint16_t channels = 1, uint32_t rate = 8000,
          uint16_t tag = 1) {
  Bytes b;
  Put(b, "RIFF", 4);
  Put(b, static_cast<uint32_t>(36 + samples.size() * 2), 4);
  Put(b, "WAVEfmt ", 8);
  Put(b, 16, 4);
  Put(b, tag, 2);
  Put(b, channels, 2);
  Put(b, rate, 4);
  Put(b, rate * channels * 2, 4);
  Put(b, channels * 2, 2);
  Put(b, 16, 2);
  Put(b, "data", 4);
  Put(b, static_cast<uint32_t>(samples.size() * 2), 4);
  for (int16_t s : samples) Put(b, static_cast<uint16_t>(s), 2);
  return b;
}

// Voice-like signal: a gliding harmonic tone with a syllable envelope and a little noise.
std::vector<int16_t> Voice(size_t count) {
  std::vector<int16_t> s(count);
  uint32_t noise = 12345;
  double phase = 0;
  for (size_t i = 0; i < count; ++i) {
    double t = i / 8000.0;
    phase += 2 * std::numbers::pi * (140 + 60 * std::sin(2 * std::numbers::pi * 1.3 * t)) / 8000;
    double v = 0;
    for (int h = 1; h <= 12; ++h) v += std::sin(h * phase) / h;
    double envelope = 0.2 + 0.8 * std::fabs(std::sin(2 * std::numbers::pi * 2.5 * t));
    noise = noise * 1664525u + 1013904223u;
    s[i] = static_cast<int16_t>(std::lround(9000 * envelope * v + 450 * ((noise >> 8) / 16777216.0 - 0.5)));
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

std::vector<int16_t> Decoded(const Bytes& adpcm, size_t count) {
  std::vector<int16_t> out(count);
  EXPECT_EQ(YamahaAdpcmDecode(adpcm, count, out.data()), count);
  return out;
}

Bytes Convert(const Bytes& wav, const WscCnvOptions* options = nullptr) {
  Bytes out((wav.size() + 1000) * 4);
  int32_t n = ConvertWavToMmf(wav, options, out.data(), static_cast<uint32_t>(out.size()));
  EXPECT_GT(n, 0);
  out.resize(n > 0 ? n : 0);
  return out;
}

TEST(WscCnv, WritesOneAdpcmWaveTrackWithItsCrc) {
  std::vector<int16_t> voice = Voice(8001);  // odd: the last byte holds a padding nibble
  Bytes mmf = Convert(Wav(voice));
  const size_t wave = 4001, header = 63;
  ASSERT_EQ(mmf.size(), header + wave + 2);
  Bytes expected;
  Put(expected, "MMMD", 4);
  Put(expected, static_cast<uint32_t>(mmf.size() - 8), 4, true);
  Put(expected, "CNTI\0\0\0\5", 8);
  Put(expected, "\x00\x01\x01\x00\x00", 5);  // class, type, Latin-1 texts, no copy limits
  Put(expected, "ATR\0", 4);
  Put(expected, static_cast<uint32_t>(6 + 20 + 8 + wave), 4, true);
  Put(expected, "\x00\x00\x11\x00\x02\x02", 6);  // mono ADPCM 8000 Hz, 4-bit, 4 ms ticks
  // Wave 1 at once for 1.000125 s = 251 ticks (two-byte form 0x80 0x7B), then a no-op
  // after as long, then the end of the sequence.
  Put(expected, "Atsq\0\0\0\x0C\x00\x01\x80\x7B\x80\x7B\xFF\x00\x00\x00\x00\x00", 20);
  Put(expected, "Awa\1", 4);
  Put(expected, wave, 4, true);
  EXPECT_EQ(Bytes(mmf.begin(), mmf.begin() + header), expected);
  uint16_t crc = SmafCrc16(std::span(mmf).first(mmf.size() - 2));
  EXPECT_EQ(mmf[mmf.size() - 2], crc >> 8);
  EXPECT_EQ(mmf[mmf.size() - 1], crc & 0xFF);
  EXPECT_GT(SnrDb(voice, Decoded(Bytes(mmf.begin() + header, mmf.end() - 2), voice.size())), 15);
}

TEST(WscCnv, SearchBeatsThePlainEncoder) {
  std::vector<int16_t> voice = Voice(16000);
  Bytes plain(YamahaAdpcmBytes(voice.size())), searched(plain.size());
  ASSERT_TRUE(YamahaAdpcmEncode(voice, plain, 1));
  ASSERT_TRUE(YamahaAdpcmEncode(voice, searched, DefaultAdpcmSearchWidth));
  double plainSnr = SnrDb(voice, Decoded(plain, voice.size()));
  EXPECT_GT(SnrDb(voice, Decoded(searched, voice.size())), plainSnr + 1.0);
  // Full-scale square waves drive the predictor into its clip and the step to its top.
  std::vector<int16_t> square(4000);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 ? 32767 : -32768;
  Bytes coded(YamahaAdpcmBytes(square.size()));
  ASSERT_TRUE(YamahaAdpcmEncode(square, coded));
  EXPECT_GT(SnrDb(square, Decoded(coded, square.size())), 5.0);
}

TEST(WscCnv, AsksForRoomOrFailsWithoutWritingAnything) {
  Bytes wav = Wav(Voice(1000));
  Bytes mmf = Convert(wav);
  Bytes out(mmf.size() + 16, 0xCD);
  EXPECT_EQ(ConvertWavToMmf(wav, nullptr, out.data(), uint32_t(mmf.size() - 1)),
            WscCnvOutputTooSmall);
  EXPECT_EQ(ConvertWavToMmf(wav, nullptr, nullptr, 0), WscCnvOutputTooSmall);
  EXPECT_EQ(out, Bytes(mmf.size() + 16, 0xCD));
  EXPECT_EQ(ConvertWavToMmf(wav, nullptr, out.data(), uint32_t(mmf.size())), int32_t(mmf.size()));
  EXPECT_TRUE(std::equal(mmf.begin(), mmf.end(), out.begin()));
  EXPECT_EQ(out[mmf.size()], 0xCD);

  Bytes bad[] = {Bytes{}, Bytes(200, 'x'), Wav(Voice(100), 2), Wav(Voice(100), 1, 48000),
                 Wav(Voice(100), 1, 8000, 3), Wav({})};
  for (const Bytes& input : bad) {
    Bytes target(4096, 0xCD);
    EXPECT_EQ(ConvertWavToMmf(input, nullptr, target.data(), 4096), WscCnvFailed);
    EXPECT_EQ(target, Bytes(4096, 0xCD));
  }
}

TEST(WscCnv, OptionTextsGoIntoTheOptionData) {
  WscCnvOptions options;
  std::string copyright(300, 'C');  // longer than a text may be
  options.text[0] = "Ring";
  options.text[1] = "";
  options.text[5] = copyright.c_str();
  Bytes mmf = Convert(Wav(Voice(100)), &options);
  Bytes expected;
  Put(expected, "OPDA", 4);
  Put(expected, 8 + 8 + 259, 4, true);
  Put(expected, "Dch\x01", 4);
  Put(expected, 8 + 259, 4, true);
  Put(expected, "ST\0\4Ring", 8);
  Put(expected, "CR\0\xFF", 4);
  for (int i = 0; i < 255; ++i) expected.push_back('C');
  ASSERT_GT(mmf.size(), 21 + expected.size());
  EXPECT_EQ(Bytes(mmf.begin() + 21, mmf.begin() + 21 + expected.size()), expected);
  EXPECT_EQ(std::memcmp(&mmf[21 + expected.size()], "ATR\0", 4), 0);
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
  std::memcpy(static_cast<void*>(&received), &callers, sizeof received);
  EXPECT_EQ(received.recordFlags, 0xF8);
  Bytes mmf = Convert(Wav(Voice(100)), &received);
  EXPECT_EQ(std::memcmp(&mmf[21], "ATR\0", 4), 0);  // empty texts: no option data
}
#endif

}  // namespace
