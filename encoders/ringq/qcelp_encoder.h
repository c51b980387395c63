// The QCELP-13K full-rate encoder: LPC analysis, LSP split quantisation, and an
// analysis-by-synthesis search of pitch and codebook parameters through the decoder's own
// synthesis (qcelp_synthesis.h). Samples are floats in 16-bit PCM units.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "encoders/ringq/qcelp_frame.h"
#include "encoders/ringq/qcelp_lpc.h"
#include "encoders/ringq/qcelp_synthesis.h"

struct QcelpEncoderOptions {
  // Perceptual weighting W(z) = A(z/weightNum) / A(z/weightDen); equal values turn it off.
  float weightNum = 0.9f;
  float weightDen = 0.6f;
  // Silent frames (no sample beyond `silencePeak`) go out as eighth-rate comfort noise when
  // the decoder's noise would stay that quiet too.
  bool eighthRateSilence = true;
  int silencePeak = 24;
  // Search through the decoder's pitch pre-filter as well, so that what standard decoders
  // play (rather than the bare synthesis) follows the input.
  bool modelPitchPrefilter = true;
};

// Split quantiser indices of the flat spectrum (LSPs at (i + 1) / 11), an always acceptable
// fallback.
inline constexpr uint8_t FlatLspIndices[5] = {11, 121, 30, 46, 14};

// Samples after the end of a frame that the LPC analysis reads.
constexpr int QcelpLookahead = 100;

class QcelpEncoder {
 public:
  explicit QcelpEncoder(const QcelpEncoderOptions& options = {});

  // Encodes the 160 samples at `frame` into `packet` (rate octet first) and returns the
  // packet's size: FullRatePacketBytes, or EighthRatePacketBytes for silence.
  // frame[160 .. 160 + QcelpLookahead) must be readable. The frame always satisfies the
  // decoder's validity rules (FullRateFrameValid, EighthRateFrameValid).
  size_t EncodeFrame(const float* frame, uint8_t packet[FullRatePacketBytes]);

  // What the decoder's core synthesis makes of the last frame encoded.
  const float* Reconstruction() const { return state_.recon; }

  // Chooses split quantiser indices for LSP frequencies (ascending, 0..1), always giving
  // acceptable quantised LSPs (LspSumsAcceptable).
  static void QuantiseLsp(const double lspf[LpcOrder], uint8_t indices[5]);

 private:
  struct PitchChoice {
    int lagCode = 0;
    int frac = 0;
    int gainCode = 0;
    float err = 0;
    float scale = 1;  // the pre-filter's scale with no codebook contribution
  };
  // Pitch candidates that go through the whole codebook search.
  static constexpr int PitchTries = 2;
  // The decoder's filter memories as the encoder follows them.
  struct SynthesisState {
    float exc[PitchHistory + QcelpFrameSamples];  // pitch synthesis output: history, frame
    float pre[PitchHistory + QcelpFrameSamples];  // pre-filter output (unscaled), the same
    float formantMem[LpcOrder];
    float weightInMem[LpcOrder];
    float weightOutMem[LpcOrder];
    float recon[QcelpFrameSamples];
  };
  struct SubframeFilters {
    float aq[LpcOrder];
    float num[LpcOrder];
    float den[LpcOrder];
    float resp[128][CodebookSubframeSamples];  // weighted response of each codebook shift
    float respEnergy[128];
  };
  void Analyse(const float* frame, double lspf[LpcOrder]) const;
  bool EighthRateFits(const float* frame) const;
  void EncodeFullRate(const float* frame, const double lspfU[LpcOrder], QcelpFullRateFrame& out);
  void EncodeEighthRate(const float* frame, const double lspfU[LpcOrder],
                        QcelpEighthRateFrame& out);
  void WeightingFilter(const double lspf[LpcOrder], float num[LpcOrder],
                       float den[LpcOrder]) const;
  // The best pitch choices (least error first, "no prediction" among them) for a weighted target,
  // the weighted synthesis filter's impulse response h, and the two pitch filters' histories.
  int SearchPitch(const float* target, const float* h, const float* excAt, const float* preAt,
                  PitchChoice choices[PitchTries]) const;
  // Searches the four codebook subframes of pitch subframe k after `pitch`, assuming the
  // pre-filter scale `scale`, and commits them into `state`; returns the weighted error of
  // the subframe as the decoder will synthesise it, and the scale that came out.
  float SearchCodebook(const float* frame, int k, const PitchChoice& pitch, float scale,
                       const SubframeFilters& filters, int logGains[QcelpCodebookSubframes],
                       QcelpFullRateFrame& out, SynthesisState& state, float* trueScale) const;
  void Weight(const float num[LpcOrder], const float den[LpcOrder], const float* in, float* out,
              int n, float inMem[LpcOrder], float outMem[LpcOrder]) const;

  QcelpEncoderOptions options_;
  float window_[240];
  double lagWindow_[LpcOrder + 1];
  SynthesisState state_;
  double prevLspfQ_[LpcOrder];
  double prevLspfU_[LpcOrder];
  QcelpRateMemory memory_;
  unsigned frameCount_ = 0;
};

// Encodes a whole signal into packets (each with its rate octet), one per started 160-sample
// frame; the last frame is padded with silence.
std::vector<uint8_t> EncodeQcelpPackets(std::span<const int16_t> pcm,
                                        const QcelpEncoderOptions& options = {});
