#include "encoders/ringq/qcelp_synthesis.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr double BandwidthExpansion = 0.9883;

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
  LspToLpc(mix, a);
  double f = BandwidthExpansion;
  for (int i = 0; i < LpcOrder; ++i) {
    a[i] = float(a[i] * f);
    f *= BandwidthExpansion;
  }
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

QcelpSynthesis::QcelpSynthesis() {
  std::memset(excitation_, 0, sizeof excitation_);
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
  for (int k = 0; k < QcelpPitchSubframes; ++k) {
    float a[LpcOrder];
    SubframePredictor(prevLspf_, lspf, k, a);
    SynthesisFilter(a, exc + k * PitchSubframeSamples, out + k * PitchSubframeSamples,
                    PitchSubframeSamples, formantMem_);
  }
  std::memmove(excitation_, excitation_ + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memcpy(prevLspf_, lspf, sizeof lspf);
}
