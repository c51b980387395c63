#include "encoders/ringq/qcelp_synthesis.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double BandwidthExpansion = 0.9883;
constexpr double EighthRateSpread = 0.02;        // LSP step and minimum spacing
constexpr double EighthRatePrediction = 29.0 / 32.0;
constexpr double NoiseScale = 1.373681186;       // the noise's peak, sqrt(1.887)

void ExpandedPredictor(const double lspf[LpcOrder], float a[LpcOrder]) {
  LspToLpc(lspf, a);
  double f = BandwidthExpansion;
  for (int i = 0; i < LpcOrder; ++i) {
    a[i] = float(a[i] * f);
    f *= BandwidthExpansion;
  }
}

}  // namespace

void InitialLspFrequencies(double lspf[LpcOrder]) {
  for (int i = 0; i < LpcOrder; ++i) lspf[i] = (i + 1) / 11.0;
}

void QuantisedLspFrequencies(const uint8_t lsp[5], double lspf[LpcOrder]) {
  int sums[LpcOrder];
  DecodeLspSums(lsp, sums);
  for (int i = 0; i < LpcOrder; ++i) lspf[i] = sums[i] * 0.0001;
}

void SubframePredictor(const double prevLspf[LpcOrder], const double lspf[LpcOrder], int k,
                       float a[LpcOrder]) {
  const double w = 0.25 * (k + 1);
  double mix[LpcOrder];
  for (int i = 0; i < LpcOrder; ++i) mix[i] = w * lspf[i] + (1.0 - w) * prevLspf[i];
  ExpandedPredictor(mix, a);
}

void EighthRatePredictor(const double prevLspf[LpcOrder], const double lspf[LpcOrder],
                         float a[LpcOrder]) {
  double mix[LpcOrder];
  for (int i = 0; i < LpcOrder; ++i) mix[i] = 0.625 * lspf[i] + 0.375 * prevLspf[i];
  ExpandedPredictor(mix, a);
}

float GainTableValue(int logGain) {
  return float(CodebookGainEighths[std::clamp(logGain, 0, 60)] / 8.0);
}

void RememberFullRate(QcelpRateMemory& memory, const int logGains[QcelpCodebookSubframes]) {
  memory.prevLogGain[0] = logGains[14];
  memory.prevLogGain[1] = logGains[15];
  memory.lastGain = GainTableValue(logGains[15]);
  memory.eighthRun = 0;
}

int EighthRateLogGain(const QcelpRateMemory& memory, int codedGain) {
  const int floor =
      std::clamp((memory.prevLogGain[0] + memory.prevLogGain[1]) / 2 - 5, 0, 54);
  return 2 * codedGain + floor;
}

void DecodeEighthRate(const QcelpEighthRateFrame& frame, const double prevLspf[LpcOrder],
                      QcelpRateMemory& memory, float excitation[QcelpFrameSamples],
                      double lspf[LpcOrder]) {
  // Gain: half-way from the last gain towards the coded one, in eight steps.
  const int logGain = EighthRateLogGain(memory, frame.codebookGain);
  const float slope = 0.5f * (GainTableValue(logGain) - memory.lastGain) / 8;
  float gains[8];
  for (int i = 0; i < 8; ++i) gains[i] = memory.lastGain + slope * (i + 1);
  memory.lastGain = gains[7];
  memory.prevLogGain[0] = memory.prevLogGain[1];
  memory.prevLogGain[1] = logGain;

  // Noise from the first 16 frame bits, 16-bit linear congruential.
  uint16_t seed = EighthRateNoiseSeed(frame);
  for (int i = 0; i < 8; ++i) {
    const float scale = float(gains[i] * NoiseScale / 8192.0);
    for (int j = 0; j < 20; ++j) {
      seed = uint16_t(521u * seed + 259u);
      excitation[i * 20 + j] = scale * float(int16_t(seed));
    }
  }

  // LSPs: one step up or down from a prediction that leans on the last LSPs, then spread
  // apart and smoothed with the last frame.
  const double* predictors = memory.eighthRun > 0 ? memory.predictorLspf : prevLspf;
  double raw[LpcOrder];
  for (int i = 0; i < LpcOrder; ++i)
    raw[i] = ((frame.lspUp >> i) & 1 ? EighthRateSpread : -EighthRateSpread) +
             predictors[i] * EighthRatePrediction + (i + 1) * ((1 - EighthRatePrediction) / 11);
  ++memory.eighthRun;
  std::copy(raw, raw + LpcOrder, memory.predictorLspf);
  lspf[0] = std::max(raw[0], EighthRateSpread);
  for (int i = 1; i < LpcOrder; ++i) lspf[i] = std::max(raw[i], lspf[i - 1] + EighthRateSpread);
  lspf[9] = std::min(lspf[9], 1.0 - EighthRateSpread);
  for (int i = LpcOrder - 1; i > 0; --i)
    lspf[i - 1] = std::min(lspf[i - 1], lspf[i] - EighthRateSpread);
  const double smooth = memory.eighthRun < 10 ? 0.875 : 0.1;
  for (int i = 0; i < LpcOrder; ++i) lspf[i] = smooth * lspf[i] + (1 - smooth) * prevLspf[i];
}

int FourthGainFloor(int g1, int g2, int g3) {
  return std::clamp((g1 + g2 + g3) / 3 - 6, 0, 32);
}

int CodebookLogGain(int i, int codedGain, const int* logGains) {
  int g = 4 * codedGain;
  if (i % 4 == 3) g += FourthGainFloor(logGains[i - 1], logGains[i - 2], logGains[i - 3]);
  return std::clamp(g, 0, 60);
}

float CodebookGainValue(int logGain) {
  return float(CodebookGainEighths[std::clamp(logGain, 0, 60)] * 0.005);
}

int CodebookShift(int index, int sign) {
  const int effective = sign ? ((index - 89) & 127) : index;
  return (-effective) & 127;
}

int CodebookIndexForShift(int shift, int sign) {
  return sign ? ((89 - shift) & 127) : ((-shift) & 127);
}

float PrefilterScale(const float* in, const float* out, int n) {
  double ein = 0, eout = 0;
  for (int i = 0; i < n; ++i) {
    ein += double(in[i]) * in[i];
    eout += double(out[i]) * out[i];
  }
  return eout > 0 ? float(std::sqrt(ein / eout)) : 0.0f;
}

float PitchGainValue(int lagCode, int gainCode) {
  return lagCode ? (gainCode + 1) * 0.25f : 0.0f;
}

void SynthesisFilter(const float a[LpcOrder], const float* in, float* out, int n,
                     float mem[LpcOrder]) {
  for (int t = 0; t < n; ++t) {
    float v = in[t];
    for (int i = 0; i < LpcOrder; ++i) v -= a[i] * mem[i];
    for (int i = LpcOrder - 1; i > 0; --i) mem[i] = mem[i - 1];
    mem[0] = v;
    out[t] = v;
  }
}

QcelpSynthesis::QcelpSynthesis(bool pitchPrefilter) : pitchPrefilter_(pitchPrefilter) {
  std::memset(excitation_, 0, sizeof excitation_);
  std::memset(prefiltered_, 0, sizeof prefiltered_);
  std::memset(formantMem_, 0, sizeof formantMem_);
  InitialLspFrequencies(prevLspf_);
}

void QcelpSynthesis::DecodeFrame(const QcelpFullRateFrame& frame,
                                 float out[QcelpFrameSamples]) {
  double lspf[LpcOrder];
  QuantisedLspFrequencies(frame.lsp, lspf);
  int logGains[QcelpCodebookSubframes];
  float* exc = excitation_ + PitchHistory;
  for (int i = 0; i < QcelpCodebookSubframes; ++i) {
    logGains[i] = CodebookLogGain(i, frame.codebookGain[i], logGains);
    const float gain = CodebookGainValue(logGains[i]) * (frame.codebookSign[i] ? -1.f : 1.f);
    const int shift = CodebookShift(frame.codebookIndex[i], frame.codebookSign[i]);
    const int k = i / 4;
    const float pitchGain = PitchGainValue(frame.pitchLag[k], frame.pitchGain[k]);
    const int lag = frame.pitchLag[k] + 16;
    for (int j = 0; j < CodebookSubframeSamples; ++j) {
      const int n = i * CodebookSubframeSamples + j;
      float v = gain * FullRateCodebook[(shift + j) & 127];
      if (pitchGain != 0) v += pitchGain * PitchPrediction(exc + n, lag, frame.pitchFrac[k]);
      exc[n] = v;
    }
  }
  float* pre = prefiltered_ + PitchHistory;
  for (int k = 0; k < QcelpPitchSubframes; ++k) {
    const int base = k * PitchSubframeSamples;
    const float gain = pitchPrefilter_ ? PrefilterGain(PitchGainValue(frame.pitchLag[k],
                                                                      frame.pitchGain[k]))
                                       : 0.0f;
    const int lag = frame.pitchLag[k] + 16;
    float x[PitchSubframeSamples];
    for (int n = base; n < base + PitchSubframeSamples; ++n)
      pre[n] = exc[n] + (gain != 0 ? gain * PitchPrediction(pre + n, lag, frame.pitchFrac[k]) : 0);
    const float scale = gain != 0 ? PrefilterScale(exc + base, pre + base, PitchSubframeSamples)
                                  : 1.0f;
    for (int n = 0; n < PitchSubframeSamples; ++n) x[n] = scale * pre[base + n];
    float a[LpcOrder];
    SubframePredictor(prevLspf_, lspf, k, a);
    SynthesisFilter(a, x, out + base, PitchSubframeSamples, formantMem_);
  }
  RememberFullRate(memory_, logGains);
  std::memmove(excitation_, excitation_ + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memmove(prefiltered_, prefiltered_ + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memcpy(prevLspf_, lspf, sizeof lspf);
}

void QcelpSynthesis::DecodeFrame(const QcelpEighthRateFrame& frame,
                                 float out[QcelpFrameSamples]) {
  double lspf[LpcOrder];
  float* exc = excitation_ + PitchHistory;
  DecodeEighthRate(frame, prevLspf_, memory_, exc, lspf);
  float a[LpcOrder];
  EighthRatePredictor(prevLspf_, lspf, a);
  SynthesisFilter(a, exc, out, QcelpFrameSamples, formantMem_);
  // Both pitch filters restart from the noise.
  std::memcpy(prefiltered_ + PitchHistory, exc, QcelpFrameSamples * sizeof(float));
  std::memmove(excitation_, excitation_ + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memmove(prefiltered_, prefiltered_ + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memcpy(prevLspf_, lspf, sizeof lspf);
}

bool QcelpSynthesis::DecodePacket(std::span<const uint8_t> packet,
                                  float out[QcelpFrameSamples]) {
  QcelpFullRateFrame full;
  if (UnpackFullRateFrame(packet, full)) {
    DecodeFrame(full, out);
    return true;
  }
  QcelpEighthRateFrame eighth;
  if (UnpackEighthRateFrame(packet, eighth)) {
    DecodeFrame(eighth, out);
    return true;
  }
  return false;
}
