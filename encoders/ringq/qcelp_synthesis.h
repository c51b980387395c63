// The QCELP-13K decoder's synthesis for full-rate frames, without its enhancement filters
// (pitch pre-filter, post-filter): codebook excitation, pitch synthesis filter and formant
// synthesis filter with interpolated LSPs. The encoder searches through exactly these
// operations, and the tests decode with them. Samples are in 16-bit PCM units.
#pragma once

#include <cstdint>
#include <span>

#include "encoders/ringq/qcelp_frame.h"
#include "encoders/ringq/qcelp_lpc.h"

// Samples of excitation history that the pitch filter may reach back to.
constexpr int PitchHistory = 143;
constexpr int PitchSubframeSamples = 40;
constexpr int CodebookSubframeSamples = 10;

// LSP frequencies that a decoder starts from.
void InitialLspFrequencies(double lspf[LpcOrder]);

// Quantised LSP frequencies of a frame.
void QuantisedLspFrequencies(const uint8_t lsp[5], double lspf[LpcOrder]);

// The formant predictor that the decoder uses for pitch subframe `k` (0..3): the LSPs
// interpolated between the previous and the current frame, then bandwidth-expanded.
void SubframePredictor(const double prevLspf[LpcOrder], const double lspf[LpcOrder], int k,
                       float a[LpcOrder]);

// Log-gain index (0..60) of codebook subframe `i`, given the coded gain and, for every
// fourth subframe, the log gains of the three before it.
int CodebookLogGain(int i, int codedGain, const int* logGains);

// The prediction that every fourth subframe's gain is coded above.
int FourthGainFloor(int g1, int g2, int g3);

// Linear gain of a log-gain index, for codebook entries in hundredths.
float CodebookGainValue(int logGain);

// The unit (gain 1) codebook vector that index and sign select: 10 codebook entries read from
// `CodebookShift` onwards, and the sign factor.
int CodebookShift(int index, int sign);
int CodebookIndexForShift(int shift, int sign);

// Pitch gain of the coded lag and gain (0 when the lag code is 0).
float PitchGainValue(int lagCode, int gainCode);

// Gain of the decoder's pitch pre-filter for a pitch gain: a comb at the same lag, half as
// strong and at most 0.5, whose output is scaled back to the energy of its input over each
// pitch subframe.
inline float PrefilterGain(float pitchGain) { return 0.5f * (pitchGain < 1.0f ? pitchGain : 1.0f); }

// The pre-filter's scale for one pitch subframe: sqrt(energy of `in` / energy of `out`), 0
// when `out` is silent.
float PrefilterScale(const float* in, const float* out, int n);

// Pitch prediction for the sample at `at` (history before it): the sample `lag` back, or
// half a sample further back when `frac` is set.
inline float PitchPrediction(const float* at, int lag, int frac);

// Formant synthesis: out[n] = in[n] - sum a[i] out[n-1-i]. mem[i] holds out[-1-i] and is
// updated. `in` and `out` may be the same buffer.
void SynthesisFilter(const float a[LpcOrder], const float* in, float* out, int n,
                     float mem[LpcOrder]);

// Linear gain (1 .. 1000) of a log-gain index.
float GainTableValue(int logGain);

// What a decoder carries from frame to frame for eighth-rate frames: the last log gains, the
// last linear gain, and the LSP prediction.
struct QcelpRateMemory {
  int prevLogGain[2] = {0, 0};
  float lastGain = 0;
  int eighthRun = 0;  // consecutive eighth-rate frames
  double predictorLspf[LpcOrder] = {};
};

// Updates the memory after a full-rate frame with the given 16 log gains.
void RememberFullRate(QcelpRateMemory& memory, const int logGains[QcelpCodebookSubframes]);

// Log-gain index that an eighth-rate frame with `codedGain` reaches.
int EighthRateLogGain(const QcelpRateMemory& memory, int codedGain);

// Decodes an eighth-rate frame's excitation (comfort noise with a gain ramp) and quantised,
// smoothed LSPs, and updates the memory. `prevLspf` are the LSPs of the frame before.
void DecodeEighthRate(const QcelpEighthRateFrame& frame, const double prevLspf[LpcOrder],
                      QcelpRateMemory& memory, float excitation[QcelpFrameSamples],
                      double lspf[LpcOrder]);

// The formant predictor of all four subframes of an eighth-rate frame.
void EighthRatePredictor(const double prevLspf[LpcOrder], const double lspf[LpcOrder],
                         float a[LpcOrder]);

// A decoder of full-rate and eighth-rate packets (the reference that the encoder mirrors).
class QcelpSynthesis {
 public:
  // `pitchPrefilter`: run the excitation through the decoder's pitch pre-filter, as standard
  // decoders do before the formant filter.
  explicit QcelpSynthesis(bool pitchPrefilter = true);
  void DecodeFrame(const QcelpFullRateFrame& frame, float out[QcelpFrameSamples]);
  void DecodeFrame(const QcelpEighthRateFrame& frame, float out[QcelpFrameSamples]);
  // A packet with its rate octet; false (and nothing decoded) for other rates or sizes.
  bool DecodePacket(std::span<const uint8_t> packet, float out[QcelpFrameSamples]);

 private:
  bool pitchPrefilter_;
  float excitation_[PitchHistory + QcelpFrameSamples];  // pitch synthesis filter output
  float prefiltered_[PitchHistory + QcelpFrameSamples];  // pre-filter output, unscaled
  float formantMem_[LpcOrder];
  double prevLspf_[LpcOrder];
  QcelpRateMemory memory_;
};

#include "encoders/ringq/qcelp_tables.h"

inline float PitchPrediction(const float* at, int lag, int frac) {
  const float* p = at - lag;
  if (!frac) return *p;
  float v = 0;
  for (int j = 0; j < 4; ++j) v += HalfLagTaps[j] * (p[j - 4] + p[3 - j]);
  return v;
}
