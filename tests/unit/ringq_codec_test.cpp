// The QCELP-13K codec core of ringq: packet bits, LSP arithmetic, the decoder's acceptance
// rules on everything the encoder emits, and the encoder's agreement with the decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "encoders/ringq/qcelp_encoder.h"
#include "encoders/ringq/qcelp_frame.h"
#include "encoders/ringq/qcelp_lpc.h"
#include "encoders/ringq/qcelp_synthesis.h"
#include "encoders/ringq/qcelp_tables.h"

namespace {

QcelpFullRateFrame RandomFrame(std::mt19937& rng) {
  auto r = [&](int n) { return uint8_t(rng() % unsigned(n)); };
  QcelpFullRateFrame f;
  for (int k = 0; k < 5; ++k) f.lsp[k] = r(LspSplitSizes[k]);
  for (int k = 0; k < 4; ++k) {
    f.pitchLag[k] = r(128);
    f.pitchFrac[k] = r(2);
    f.pitchGain[k] = r(8);
  }
  for (int i = 0; i < 16; ++i) {
    f.codebookIndex[i] = r(128);
    f.codebookSign[i] = r(2);
    f.codebookGain[i] = r(i % 4 == 3 ? 8 : 16);
  }
  f.reserved = r(4);
  return f;
}

bool SameFrame(const QcelpFullRateFrame& a, const QcelpFullRateFrame& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Segmental SNR (dB) over 160-sample frames that carry signal.
double SegSnr(const std::vector<float>& ref, const std::vector<float>& test) {
  double sum = 0;
  int used = 0;
  for (size_t s = 0; s + 160 <= ref.size() && s + 160 <= test.size(); s += 160) {
    double sig = 0, noise = 0;
    for (size_t i = s; i < s + 160; ++i) {
      sig += double(ref[i]) * ref[i];
      noise += double(ref[i] - test[i]) * (ref[i] - test[i]);
    }
    if (sig < 160.0 * 100.0) continue;
    sum += std::clamp(10 * std::log10(sig / std::max(noise, 1e-9)), -10.0, 35.0);
    ++used;
  }
  return used ? sum / used : 0;
}

// Test signals: a vowel-like pulse train through resonances with a gliding pitch, a sweep,
// white noise, silence with a click, and a clipped square wave.
std::vector<int16_t> Signal(int kind, int samples) {
  std::vector<int16_t> out(size_t(samples), 0);
  std::mt19937 rng(7 + kind);
  std::normal_distribution<double> noise(0, 3000);
  double y1 = 0, y2 = 0, z1 = 0, z2 = 0, phase = 0;
  for (int n = 0; n < samples; ++n) {
    double v = 0;
    switch (kind) {
      case 0: {
        const double f0 = 140 + 60 * std::sin(2 * Pi * n / 16000.0);
        phase += f0 / 8000.0;
        const double pulse = phase >= 1.0 ? (phase -= 1.0, 6000.0) : 0.0;
        // Two resonances, 700 Hz and 1200 Hz.
        const double r = 0.97;
        const double a = pulse + 2 * r * std::cos(2 * Pi * 700 / 8000) * y1 - r * r * y2;
        y2 = y1;
        y1 = a;
        const double b = a + 2 * r * std::cos(2 * Pi * 1200 / 8000) * z1 - r * r * z2;
        z2 = z1;
        z1 = b;
        v = b * 0.05;
        break;
      }
      case 1: v = 8000 * std::sin(2 * Pi * (100.0 * n / 8000 + 1900.0 * n * n / (2.0 * 8000 * samples))); break;
      case 2: v = noise(rng); break;
      case 3: v = n == samples / 2 ? 30000 : 0; break;
      case 4: v = (n / 23) % 2 ? 32767 : -32768; break;
      case 5: {  // the voiced signal in bursts of 0.25 s with digital silence between
        const double f0 = 140;
        phase += f0 / 8000.0;
        const double pulse = phase >= 1.0 ? (phase -= 1.0, 6000.0) : 0.0;
        const double r = 0.95;
        const double a = pulse + 2 * r * std::cos(2 * Pi * 500 / 8000) * y1 - r * r * y2;
        y2 = y1;
        y1 = a;
        v = (n / 2000) % 2 ? 0.0 : a * 0.2;
        break;
      }
    }
    out[size_t(n)] = int16_t(std::clamp(v, -32768.0, 32767.0));
  }
  return out;
}

}  // namespace

TEST(RingqPacket, PacksAndUnpacksEveryField) {
  std::mt19937 rng(1);
  for (int t = 0; t < 200; ++t) {
    const QcelpFullRateFrame f = RandomFrame(rng);
    uint8_t packet[FullRatePacketBytes];
    PackFullRateFrame(f, packet);
    EXPECT_EQ(packet[0], FullRateOctet);
    EXPECT_EQ(packet[34] & 0x3F, 0) << "the 6 bits after the 266 frame bits are zero";
    QcelpFullRateFrame back;
    ASSERT_TRUE(UnpackFullRateFrame(packet, back));
    EXPECT_TRUE(SameFrame(f, back));
  }
}

TEST(RingqPacket, BitOrderFollowsTheFrameLayout) {
  int total = 0;
  for (const QcelpBitRun& run : FullRateBitRuns) total += run.width;
  EXPECT_EQ(total, 266);
  QcelpFullRateFrame f;
  f.lsp[2] = 0x05;  // low 3 bits of the third LSP code come first
  f.codebookSign[15] = 1;  // the last frame bit
  uint8_t packet[FullRatePacketBytes];
  PackFullRateFrame(f, packet);
  EXPECT_EQ(packet[1], 0xA0);
  EXPECT_EQ(packet[34], 0x40);
  for (size_t i = 2; i < 34; ++i) EXPECT_EQ(packet[i], 0) << i;
}

TEST(RingqPacket, UnpackRefusesWrongSizeOrRate) {
  uint8_t packet[FullRatePacketBytes] = {FullRateOctet};
  QcelpFullRateFrame f;
  EXPECT_FALSE(UnpackFullRateFrame(std::span<const uint8_t>(packet, 34), f));
  packet[0] = 3;
  EXPECT_FALSE(UnpackFullRateFrame(packet, f));
}

TEST(RingqValidity, DecoderRulesAreEnforced) {
  QcelpFullRateFrame f;
  double flat[LpcOrder];
  InitialLspFrequencies(flat);
  QcelpEncoder::QuantiseLsp(flat, f.lsp);
  ASSERT_TRUE(FullRateFrameValid(f));

  QcelpFullRateFrame g = f;
  g.reserved = 1;
  EXPECT_FALSE(FullRateFrameValid(g));
  g = f;
  g.pitchLag[2] = 124;
  g.pitchFrac[2] = 1;
  EXPECT_FALSE(FullRateFrameValid(g)) << "half-sample lag at code 124";
  g.pitchLag[2] = 123;
  EXPECT_TRUE(FullRateFrameValid(g));
  g = f;
  g.codebookGain[3] = 8;  // every fourth gain has 3 bits
  EXPECT_FALSE(FullRateFrameValid(g));

  int sums[LpcOrder] = {300, 600, 1000, 1500, 2000, 2600, 3200, 4000, 5000, 6602};
  EXPECT_TRUE(LspSumsAcceptable(sums));
  sums[9] = 6601;  // not above 0.66 by the margin
  EXPECT_FALSE(LspSumsAcceptable(sums));
  sums[9] = 9849;
  EXPECT_FALSE(LspSumsAcceptable(sums));
  sums[9] = 7000;
  sums[5] = 2600;
  sums[1] = 1669;  // 0.0931 apart: too close for a margin-keeping encoder
  EXPECT_FALSE(LspSumsAcceptable(sums));
}

TEST(RingqLsp, FlatSpectrumIsTheIdentityPredictor) {
  double flat[LpcOrder];
  InitialLspFrequencies(flat);
  float a[LpcOrder];
  LspToLpc(flat, a);
  for (float v : a) EXPECT_NEAR(v, 0.0f, 1e-6);
}

TEST(RingqLsp, ConversionRoundTrips) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(0.02, 0.98);
  for (int t = 0; t < 200; ++t) {
    double lspf[LpcOrder];
    for (double& v : lspf) v = u(rng);
    std::sort(lspf, lspf + LpcOrder);
    bool spaced = true;
    for (int i = 1; i < LpcOrder; ++i) spaced = spaced && lspf[i] - lspf[i - 1] > 0.01;
    if (!spaced) continue;
    float a[LpcOrder];
    LspToLpc(lspf, a);
    double back[LpcOrder];
    ASSERT_TRUE(LpcToLsp(a, back));
    for (int i = 0; i < LpcOrder; ++i) EXPECT_NEAR(back[i], lspf[i], 2e-4) << i;
  }
}

TEST(RingqLsp, UnstablePredictorIsRefused) {
  float a[LpcOrder] = {-2.5f, 2.0f};
  double lspf[LpcOrder] = {};
  EXPECT_FALSE(LpcToLsp(a, lspf));
  const double r[LpcOrder + 1] = {0};
  EXPECT_FALSE(LevinsonDurbin(r, a));
}

TEST(RingqLsp, QuantiserAlwaysGivesAcceptableLsps) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  int checked = 0;
  for (int t = 0; t < 500; ++t) {
    double lspf[LpcOrder];
    // Ordinary spectra, bunched ones and ones with a very low top LSP.
    const double top = t % 3 == 0 ? 0.3 + 0.3 * u(rng) : 0.99;
    for (double& v : lspf) v = u(rng) * top;
    std::sort(lspf, lspf + LpcOrder);
    uint8_t idx[5];
    QcelpEncoder::QuantiseLsp(lspf, idx);
    int sums[LpcOrder];
    DecodeLspSums(idx, sums);
    EXPECT_TRUE(LspSumsAcceptable(sums));
    ++checked;
  }
  EXPECT_EQ(checked, 500);
}

TEST(RingqLsp, FlatFallbackIsAcceptableAndNearlyFlat) {
  int sums[LpcOrder];
  DecodeLspSums(FlatLspIndices, sums);
  EXPECT_TRUE(LspSumsAcceptable(sums));
  for (int i = 0; i < LpcOrder; ++i) EXPECT_NEAR(sums[i], 10000.0 * (i + 1) / 11, 200) << i;
  // Wild input that nothing acceptable can come near still gets acceptable indices.
  const double bunched[LpcOrder] = {0.01, 0.011, 0.012, 0.013, 0.014,
                                    0.015, 0.016, 0.017, 0.018, 0.019};
  uint8_t idx[5];
  QcelpEncoder::QuantiseLsp(bunched, idx);
  DecodeLspSums(idx, sums);
  EXPECT_TRUE(LspSumsAcceptable(sums));
}

TEST(RingqLsp, QuantiserFollowsItsTarget) {
  const double lspf[LpcOrder] = {0.05, 0.09, 0.17, 0.25, 0.33, 0.45, 0.56, 0.66, 0.76, 0.88};
  uint8_t idx[5];
  QcelpEncoder::QuantiseLsp(lspf, idx);
  double q[LpcOrder];
  QuantisedLspFrequencies(idx, q);
  for (int i = 0; i < LpcOrder; ++i) EXPECT_NEAR(q[i], lspf[i], 0.02) << i;
}

TEST(RingqGain, CodebookIndexAndSignMapToShifts) {
  for (int shift = 0; shift < 128; ++shift)
    for (int sign = 0; sign < 2; ++sign)
      EXPECT_EQ(CodebookShift(CodebookIndexForShift(shift, sign), sign), shift);
  EXPECT_EQ(FourthGainFloor(0, 0, 0), 0);
  EXPECT_EQ(FourthGainFloor(60, 60, 60), 32);
  EXPECT_EQ(FourthGainFloor(20, 21, 22), 15);
  const int logGains[3] = {60, 60, 60};
  EXPECT_EQ(CodebookLogGain(3, 7, logGains), 60) << "28 above a floor of 32 is capped";
  EXPECT_NEAR(CodebookGainValue(60), 1000.0 * 4 * 0.01, 1e-4);
}

TEST(RingqEncoder, EveryFrameIsValidAndMatchesTheDecoder) {
  for (int kind = 0; kind < 6; ++kind) {
    const std::vector<int16_t> pcm = Signal(kind, 8000 * 2 + 77);
    const std::vector<uint8_t> packets = EncodeQcelpPackets(pcm);
    const size_t frames = (pcm.size() + 159) / 160;

    // Re-encode frame by frame to compare the encoder's own synthesis with the decoder's.
    std::vector<float> padded(frames * 160 + QcelpLookahead, 0.0f);
    for (size_t i = 0; i < pcm.size(); ++i) padded[i] = pcm[i];
    QcelpEncoder encoder;
    QcelpSynthesis decoder;
    std::vector<float> decoded(frames * 160), ref(padded.begin(), padded.begin() + frames * 160);
    double mismatch = 0, power = 0;
    size_t pos = 0, eighths = 0;
    for (size_t f = 0; f < frames; ++f) {
      ASSERT_LT(pos, packets.size());
      const size_t size = packets[pos] == FullRateOctet ? FullRatePacketBytes
                                                         : EighthRatePacketBytes;
      ASSERT_LE(pos + size, packets.size());
      const std::span<const uint8_t> packet(packets.data() + pos, size);
      pos += size;
      QcelpFullRateFrame full;
      QcelpEighthRateFrame eighth;
      if (size == FullRatePacketBytes) {
        ASSERT_TRUE(UnpackFullRateFrame(packet, full));
        ASSERT_TRUE(FullRateFrameValid(full)) << "signal " << kind << " frame " << f;
      } else {
        ASSERT_TRUE(UnpackEighthRateFrame(packet, eighth)) << "signal " << kind << " frame " << f;
        ASSERT_TRUE(EighthRateFrameValid(eighth)) << "signal " << kind << " frame " << f;
        ++eighths;
      }
      uint8_t again[FullRatePacketBytes];
      ASSERT_EQ(encoder.EncodeFrame(padded.data() + f * 160, again), size);
      ASSERT_EQ(std::memcmp(again, packet.data(), size), 0);
      ASSERT_TRUE(decoder.DecodePacket(packet, decoded.data() + f * 160));
      for (int n = 0; n < 160; ++n) {
        const double d = decoded[f * 160 + n] - encoder.Reconstruction()[n];
        mismatch += d * d;
        power += double(decoded[f * 160 + n]) * decoded[f * 160 + n];
      }
    }
    EXPECT_EQ(pos, packets.size());
    // The encoder's synthesis is the decoder's up to rounding (x87 and SSE differ).
    EXPECT_LT(mismatch, power * 1e-6 + 1.0) << "signal " << kind;
    const double snr = SegSnr(ref, decoded);
    const double floors[6] = {10.0, 10.0, 3.0, -100.0, -100.0, 10.0};
    EXPECT_GT(snr, floors[kind]) << "signal " << kind;
    // Silence and the pauses of the spoken signal go out at eighth rate; sound never does.
    if (kind == 3) {
      EXPECT_GE(eighths, frames - 4);
    } else if (kind == 5) {
      EXPECT_GE(eighths, frames / 4);
    } else {
      EXPECT_EQ(eighths, 0u) << "signal " << kind;
    }
  }
}

TEST(RingqEncoder, WithoutThePrefilterModelMatchesTheBareSynthesis) {
  QcelpEncoderOptions options;
  options.modelPitchPrefilter = false;
  const std::vector<int16_t> pcm = Signal(0, 8000);
  std::vector<float> padded(pcm.size() + QcelpLookahead, 0.0f);
  for (size_t i = 0; i < pcm.size(); ++i) padded[i] = pcm[i];
  QcelpEncoder encoder(options);
  QcelpSynthesis bare(false), standard(true);
  double mismatch = 0, power = 0, differs = 0;
  for (size_t f = 0; f < pcm.size() / 160; ++f) {
    uint8_t packet[FullRatePacketBytes];
    const size_t size = encoder.EncodeFrame(padded.data() + f * 160, packet);
    float a[160], b[160];
    ASSERT_TRUE(bare.DecodePacket(std::span<const uint8_t>(packet, size), a));
    ASSERT_TRUE(standard.DecodePacket(std::span<const uint8_t>(packet, size), b));
    for (int n = 0; n < 160; ++n) {
      mismatch += double(a[n] - encoder.Reconstruction()[n]) * (a[n] - encoder.Reconstruction()[n]);
      power += double(a[n]) * a[n];
      differs += double(a[n] - b[n]) * (a[n] - b[n]);
    }
  }
  EXPECT_LT(mismatch, power * 1e-6 + 1.0);
  EXPECT_GT(differs, power * 1e-3) << "the pre-filter changes a voiced signal";
}

TEST(RingqEncoder, SilenceAfterSoundWaitsForTheGainToFall) {
  // Loud noise, then digital silence: the first silent frames stay full rate until the
  // decoder's noise gain has come down, so no hiss is spread over the silence.
  std::vector<int16_t> pcm = Signal(2, 8000);
  pcm.resize(16000, 0);
  const std::vector<uint8_t> packets = EncodeQcelpPackets(pcm);
  QcelpSynthesis decoder;
  std::vector<float> out(160);
  size_t pos = 0;
  double tailEnergy = 0;
  int tailFrames = 0;
  bool sawEighth = false;
  for (int f = 0; f < 100; ++f) {
    const size_t size = packets[pos] == FullRateOctet ? FullRatePacketBytes : EighthRatePacketBytes;
    ASSERT_TRUE(decoder.DecodePacket(std::span<const uint8_t>(packets.data() + pos, size),
                                     out.data()));
    pos += size;
    if (f < 50) {
      EXPECT_EQ(size, FullRatePacketBytes) << f;
    } else {
      sawEighth = sawEighth || size == EighthRatePacketBytes;
      if (f >= 52) {
        for (float v : out) tailEnergy += double(v) * v;
        tailFrames += 160;
      }
    }
  }
  EXPECT_TRUE(sawEighth);
  EXPECT_LT(std::sqrt(tailEnergy / tailFrames), 12.0) << "decoded silence stays near silent";
}

TEST(RingqPacket, EighthRateFramesRoundTrip) {
  for (unsigned v = 0; v < (1u << 16); v += 7) {
    QcelpEighthRateFrame f;
    f.lspUp = uint16_t(v & 1023u);
    f.codebookGain = uint8_t((v >> 10) & 3u);
    f.seed = uint8_t((v >> 12) & 15u);
    uint8_t packet[EighthRatePacketBytes];
    PackEighthRateFrame(f, packet);
    EXPECT_EQ(packet[0], EighthRateOctet);
    EXPECT_EQ(packet[3] & 0x0F, 0);
    QcelpEighthRateFrame back;
    ASSERT_TRUE(UnpackEighthRateFrame(packet, back));
    EXPECT_EQ(back.lspUp, f.lspUp);
    EXPECT_EQ(back.codebookGain, f.codebookGain);
    EXPECT_EQ(back.seed, f.seed);
    EXPECT_EQ(EighthRateNoiseSeed(f), uint16_t(packet[1] << 8 | packet[2]));
  }
  QcelpEighthRateFrame ones;
  ones.lspUp = 1023;
  ones.codebookGain = 3;
  ones.seed = 15;
  EXPECT_EQ(EighthRateNoiseSeed(ones), 0xFFFF);
  EXPECT_FALSE(EighthRateFrameValid(ones)) << "all-ones seed is an erasure";
  ones.seed = 14;
  EXPECT_TRUE(EighthRateFrameValid(ones));
  ones.reserved = 1;
  EXPECT_FALSE(EighthRateFrameValid(ones));
}
