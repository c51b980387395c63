#include "encoders/ringq/qcelp_encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

#include "encoders/ringq/qcelp_tables.h"

namespace {

// The LPC analysis window: 240 samples from frame[AnalysisStart], centred on the last pitch
// subframe, whose predictor is the frame's own (the others interpolate).
constexpr int AnalysisLength = 240;
constexpr int AnalysisStart = 20;
static_assert(AnalysisStart + AnalysisLength <= QcelpFrameSamples + QcelpLookahead);

constexpr int MinLag = 17;   // lag code 1
constexpr int MaxLag = 143;  // lag code 127

// y = h * x over n samples (zero state), h of at least n taps.
void Convolve(const float* h, const float* x, float* y, int n) {
  for (int i = 0; i < n; ++i) {
    float acc = 0;
    for (int m = 0; m <= i; ++m) acc += h[i - m] * x[m];
    y[i] = acc;
  }
}

float Dot(const float* a, const float* b, int n) {
  float acc = 0;
  for (int i = 0; i < n; ++i) acc += a[i] * b[i];
  return acc;
}

struct LspPath {
  double err;
  int sums[LpcOrder];
  uint8_t idx[5];
};

}  // namespace

QcelpEncoder::QcelpEncoder(const QcelpEncoderOptions& options) : options_(options) {
  for (int i = 0; i < AnalysisLength; ++i)
    window_[i] = float(0.54 - 0.46 * std::cos(2 * Pi * (i + 0.5) / AnalysisLength));
  for (int k = 0; k <= LpcOrder; ++k) {
    const double f = 2 * Pi * 60.0 * k / 8000.0;  // 60 Hz Gaussian lag window
    lagWindow_[k] = std::exp(-0.5 * f * f);
  }
  lagWindow_[0] = 1.0001;  // white-noise floor of -40 dB
  std::memset(&state_, 0, sizeof state_);
  InitialLspFrequencies(prevLspfQ_);
  InitialLspFrequencies(prevLspfU_);
}

void QcelpEncoder::QuantiseLsp(const double lspf[LpcOrder], uint8_t indices[5]) {
  // Targets in 1/10000 and the usual inverse-distance weights.
  double target[LpcOrder], weight[LpcOrder];
  for (int i = 0; i < LpcOrder; ++i) target[i] = lspf[i] * 10000.0;
  for (int i = 0; i < LpcOrder; ++i) {
    const double below = i == 0 ? lspf[0] : lspf[i] - lspf[i - 1];
    const double above = i == LpcOrder - 1 ? 1.0 - lspf[i] : lspf[i + 1] - lspf[i];
    weight[i] = 1.0 / std::max(below, 0.005) + 1.0 / std::max(above, 0.005);
  }
  // The splits code increments of a running sum, so an early error shifts every later LSP:
  // keep the best few partial paths instead of deciding each split alone.
  constexpr int Keep = 16;
  // The most that the splits after split k can still add: a path that cannot lift the top
  // LSP above the decoder's lower bound any more is dropped at once.
  static const auto maxRest = [] {
    std::array<int, 5> rest{};
    for (int k = 3; k >= 0; --k) {
      int best = 0;
      for (int e = 0; e < LspSplitSizes[k + 1]; ++e)
        best = std::max(best, LspSplits[k + 1][e].first + LspSplits[k + 1][e].second);
      rest[size_t(k)] = rest[size_t(k) + 1] + best;
    }
    return rest;
  }();
  LspPath paths[Keep], next[Keep];
  int pathCount = 1, nextCount = 0;
  paths[0].err = 0;
  for (int k = 0; k < 5; ++k) {
    nextCount = 0;
    int worst = 0;  // index of the worst kept path once `next` is full
    const int a = 2 * k, b = 2 * k + 1;
    for (int pi = 0; pi < pathCount; ++pi) {
      const LspPath& p = paths[pi];
      const int base = k == 0 ? 0 : p.sums[a - 1];
      for (int e = 0; e < LspSplitSizes[k]; ++e) {
        const int s0 = base + LspSplits[k][e].first;
        const int s1 = s0 + LspSplits[k][e].second;
        if (s1 >= 9849) continue;  // the highest LSP can only grow from here
        if (a >= 4 && s0 - p.sums[a - 4] < 932) continue;
        if (b >= 4 && s1 - p.sums[b - 4] < 932) continue;
        if (s1 + maxRest[size_t(k)] <= 6601) continue;
        const double d0 = s0 - target[a], d1 = s1 - target[b];
        const double err = p.err + weight[a] * d0 * d0 + weight[b] * d1 * d1;
        int slot;
        if (nextCount < Keep) {
          slot = nextCount++;
        } else if (err < next[worst].err) {
          slot = worst;
        } else {
          continue;
        }
        LspPath& q = next[slot];
        q = p;
        q.err = err;
        q.sums[a] = s0;
        q.sums[b] = s1;
        q.idx[k] = uint8_t(e);
        if (nextCount == Keep) {
          worst = 0;
          for (int w = 1; w < Keep; ++w)
            if (next[w].err > next[worst].err) worst = w;
        }
      }
    }
    if (nextCount == 0) break;
    std::copy(next, next + nextCount, paths);
    pathCount = nextCount;
    if (k == 4) {
      int bestPath = 0;
      for (int w = 1; w < pathCount; ++w)
        if (paths[w].err < paths[bestPath].err) bestPath = w;
      std::memcpy(indices, paths[bestPath].idx, 5);
      return;
    }
  }
  // Nothing acceptable near the target (only for wild input): code the flat spectrum.
  std::memcpy(indices, FlatLspIndices, 5);
}

void QcelpEncoder::Weight(const float num[LpcOrder], const float den[LpcOrder], const float* in,
                          float* out, int n, float inMem[LpcOrder],
                          float outMem[LpcOrder]) const {
  for (int t = 0; t < n; ++t) {
    float v = in[t];
    for (int i = 0; i < LpcOrder; ++i) v += num[i] * inMem[i] - den[i] * outMem[i];
    for (int i = LpcOrder - 1; i > 0; --i) {
      inMem[i] = inMem[i - 1];
      outMem[i] = outMem[i - 1];
    }
    inMem[0] = in[t];
    outMem[0] = v;
    out[t] = v;
  }
}

int QcelpEncoder::SearchPitch(const float* target, const float* h, const float* excAt,
                              const float* preAt, PitchChoice choices[PitchTries]) const {
  constexpr int N = PitchSubframeSamples;
  // Backward-filtered target: <target, h * v> = <d, v>.
  float d[N];
  for (int n = 0; n < N; ++n) {
    float acc = 0;
    for (int m = n; m < N; ++m) acc += target[m] * h[m - n];
    d[n] = acc;
  }
  // Open loop over every integer lag with the past excitation repeated at that period,
  // ranked by the correlation normalised with the unfiltered energy.
  struct Ranked {
    float score;
    int lag;
  };
  Ranked ranked[MaxLag + 1];
  int rankedCount = 0;
  float v[N];
  for (int lag = MinLag; lag <= MaxLag; ++lag) {
    for (int n = 0; n < N; ++n) v[n] = n < lag ? excAt[n - lag] : v[n - lag];
    const float c = Dot(d, v, N);
    const float e = Dot(v, v, N);
    if (c > 0 && e > 0) ranked[rankedCount++] = {c * c / e, lag};
  }
  // The best few distinct choices by error, starting with no pitch prediction at all.
  const float targetEnergy = Dot(target, target, N);
  int count = 1;
  choices[0] = PitchChoice{0, 0, 0, targetEnergy, 1.0f};
  auto offer = [&](int lagCode, int frac, int gainCode, float err, float scale) {
    // One entry per lag, so that the runner-up is a real alternative.
    for (int i = 0; i < count; ++i) {
      if (choices[i].lagCode != lagCode || choices[i].frac != frac) continue;
      if (err >= choices[i].err) return;
      for (int j = i; j + 1 < count; ++j) choices[j] = choices[j + 1];
      --count;
      break;
    }
    if (count == PitchTries && err >= choices[count - 1].err) return;
    int at = count < PitchTries ? count++ : count - 1;
    while (at > 0 && choices[at - 1].err > err) {
      choices[at] = choices[at - 1];
      --at;
    }
    choices[at] = PitchChoice{lagCode, frac, gainCode, err, scale};
  };
  if (rankedCount == 0) return count;
  const int firstKeep = std::min(rankedCount, 6);
  std::partial_sort(ranked, ranked + firstKeep, ranked + rankedCount,
                    [](const Ranked& a, const Ranked& b) { return a.score > b.score; });
  // Filtered energies for the short list, then the best three go to the exact search.
  float y[N];
  for (int r = 0; r < firstKeep; ++r) {
    const int lag = ranked[r].lag;
    for (int n = 0; n < N; ++n) v[n] = n < lag ? excAt[n - lag] : v[n - lag];
    Convolve(h, v, y, N);
    const float e = Dot(y, y, N);
    const float c = Dot(d, v, N);
    ranked[r].score = e > 0 ? c * c / e : 0;
  }
  const int secondKeep = std::min(firstKeep, 3);
  std::partial_sort(ranked, ranked + secondKeep, ranked + firstKeep,
                    [](const Ranked& a, const Ranked& b) { return a.score > b.score; });

  // Exact evaluation, through the decoder's recursive pitch filter (and its pre-filter), of
  // lags near each candidate including the half-sample ones, with the quantised gains.
  const bool prefilter = options_.modelPitchPrefilter;
  float hist[PitchHistory + N], preHist[PitchHistory + N];
  std::memcpy(hist, excAt - PitchHistory, PitchHistory * sizeof(float));
  std::memcpy(preHist, preAt - PitchHistory, PitchHistory * sizeof(float));
  float* cur = hist + PitchHistory;
  float* preCur = preHist + PitchHistory;
  float p[N], q[N], y2[N], x[N];
  for (int r = 0; r < secondKeep; ++r) {
    const int centre = ranked[r].lag;
    const int variants[5][2] = {{centre, 0}, {centre - 1, 0}, {centre + 1, 0},
                                {centre - 1, 1}, {centre, 1}};
    for (const auto& var : variants) {
      const int lag = var[0], frac = var[1];
      const int lagCode = lag - 16;
      if (lagCode < 1 || lagCode > 127) continue;
      if (frac && lagCode > MaxFractionalPitchLag) continue;
      const bool linear = (N - 1) - lag + (frac ? 3 : 0) < 0;
      if (linear && !prefilter) {
        for (int n = 0; n < N; ++n) p[n] = PitchPrediction(cur + n, lag, frac);
        Convolve(h, p, y, N);
        const float c = Dot(d, p, N), e = Dot(y, y, N);
        for (int g = 0; g < 8; ++g) {
          const float b = (g + 1) * 0.25f;
          offer(lagCode, frac, g, targetEnergy - 2 * b * c + b * b * e, 1.0f);
        }
      } else if (linear) {
        // Both filters read only their history: with p the synthesis filter's prediction
        // and q the pre-filter's, the excitation is s (b p + b' q), s = |b p| / |b p + b' q|.
        for (int n = 0; n < N; ++n) {
          p[n] = PitchPrediction(cur + n, lag, frac);
          q[n] = PitchPrediction(preCur + n, lag, frac);
        }
        Convolve(h, p, y, N);
        Convolve(h, q, y2, N);
        const float e11 = Dot(p, p, N), e12 = Dot(p, q, N), e22 = Dot(q, q, N);
        const float c1 = Dot(d, p, N), c2 = Dot(d, q, N);
        const float f11 = Dot(y, y, N), f12 = Dot(y, y2, N), f22 = Dot(y2, y2, N);
        for (int g = 0; g < 8; ++g) {
          const float b = (g + 1) * 0.25f, b2 = PrefilterGain(b);
          const float epre = b * b * e11 + 2 * b * b2 * e12 + b2 * b2 * e22;
          const float s = epre > 0 ? std::sqrt(b * b * e11 / epre) : 0.0f;
          const float err = targetEnergy - 2 * s * (b * c1 + b2 * c2) +
                            s * s * (b * b * f11 + 2 * b * b2 * f12 + b2 * b2 * f22);
          offer(lagCode, frac, g, err, s);
        }
      } else {
        // The lag is shorter than the subframe, so the filter feeds on its own output and the
        // result is not linear in the gain: estimate the gain with unit feedback, then try
        // the codes around it exactly.
        for (int n = 0; n < N; ++n) cur[n] = p[n] = PitchPrediction(cur + n, lag, frac);
        Convolve(h, p, y, N);
        const float c = Dot(d, p, N), e = Dot(y, y, N);
        const float estimate = e > 0 ? c / e : 0.0f;
        const int centreCode = std::clamp(int(std::lround(estimate * 4 - 1)), 0, 7);
        for (int g = std::max(0, centreCode - 1); g <= std::min(7, centreCode + 1); ++g) {
          const float b = (g + 1) * 0.25f, b2 = prefilter ? PrefilterGain(b) : 0.0f;
          for (int n = 0; n < N; ++n) {
            cur[n] = p[n] = b * PitchPrediction(cur + n, lag, frac);
            preCur[n] = p[n] + (b2 != 0 ? b2 * PitchPrediction(preCur + n, lag, frac) : 0.0f);
          }
          const float s = b2 != 0 ? PrefilterScale(p, preCur, N) : 1.0f;
          for (int n = 0; n < N; ++n) x[n] = s * preCur[n];
          Convolve(h, x, y, N);
          offer(lagCode, frac, g, targetEnergy - 2 * Dot(d, x, N) + Dot(y, y, N), s);
        }
      }
    }
  }
  return count;
}

void QcelpEncoder::Analyse(const float* frame, double lspf[LpcOrder]) const {
  float windowed[AnalysisLength];
  for (int i = 0; i < AnalysisLength; ++i) windowed[i] = frame[AnalysisStart + i] * window_[i];
  double r[LpcOrder + 1];
  Autocorrelation(windowed, AnalysisLength, LpcOrder, r);
  for (int k = 0; k <= LpcOrder; ++k) r[k] *= lagWindow_[k];
  std::memcpy(lspf, prevLspfU_, sizeof prevLspfU_);
  float a[LpcOrder];
  if (r[0] > 1e-3 && LevinsonDurbin(r, a)) LpcToLsp(a, lspf);
}

void QcelpEncoder::WeightingFilter(const double lspf[LpcOrder], float num[LpcOrder],
                                   float den[LpcOrder]) const {
  float a[LpcOrder];
  LspToLpc(lspf, a);
  float fn = options_.weightNum, fd = options_.weightDen;
  for (int i = 0; i < LpcOrder; ++i) {
    num[i] = a[i] * fn;
    den[i] = a[i] * fd;
    fn *= options_.weightNum;
    fd *= options_.weightDen;
  }
}

size_t QcelpEncoder::EncodeFrame(const float* frame, uint8_t packet[FullRatePacketBytes]) {
  double lspfU[LpcOrder];
  Analyse(frame, lspfU);
  size_t size;
  if (EighthRateFits(frame)) {
    QcelpEighthRateFrame eighth;
    EncodeEighthRate(frame, lspfU, eighth);
    PackEighthRateFrame(eighth, packet);
    size = EighthRatePacketBytes;
  } else {
    QcelpFullRateFrame full;
    EncodeFullRate(frame, lspfU, full);
    PackFullRateFrame(full, packet);
    size = FullRatePacketBytes;
  }
  std::memcpy(prevLspfU_, lspfU, sizeof lspfU);
  ++frameCount_;
  return size;
}

namespace {

// RMS of the decoder's comfort noise at a linear gain (uniform 16-bit noise, RMS 2^15/sqrt 3).
float NoiseRms(float gain) { return gain * float(1.373681186 / 8192.0 * 18918.6); }

}  // namespace

bool QcelpEncoder::EighthRateFits(const float* frame) const {
  if (!options_.eighthRateSilence) return false;
  for (int n = 0; n < QcelpFrameSamples; ++n)
    if (std::fabs(frame[n]) > float(options_.silencePeak)) return false;
  // The noise ramps from the last gain half-way towards the coded one: both ends must be
  // quiet, or a loud frame's gain would spill hiss into the silence.
  const float target = GainTableValue(EighthRateLogGain(memory_, 0));
  const float loudest = std::max(memory_.lastGain, 0.5f * (memory_.lastGain + target));
  return NoiseRms(loudest) <= 0.5f * float(options_.silencePeak);
}

void QcelpEncoder::EncodeEighthRate(const float* frame, const double lspfU[LpcOrder],
                                    QcelpEighthRateFrame& out) {
  out = QcelpEighthRateFrame{};
  // Gain: the code whose noise level is nearest the frame's, never louder than allowed.
  double energy = 0;
  for (int n = 0; n < QcelpFrameSamples; ++n) energy += double(frame[n]) * frame[n];
  const double rms = std::sqrt(energy / QcelpFrameSamples);
  double bestDistance = 1e30;
  for (int code = 0; code < 4; ++code) {
    const float target = GainTableValue(EighthRateLogGain(memory_, code));
    const float mean = memory_.lastGain + 0.5f * (target - memory_.lastGain) * (4.5f / 8);
    const float loudest = std::max(memory_.lastGain, 0.5f * (memory_.lastGain + target));
    if (code > 0 && NoiseRms(loudest) > 0.5f * float(options_.silencePeak)) break;
    const double distance = std::fabs(std::log((NoiseRms(mean) + 1.0) / (rms + 1.0)));
    if (distance < bestDistance) {
      bestDistance = distance;
      out.codebookGain = uint8_t(code);
    }
  }
  // LSPs: each one step towards the analysis from the decoder's prediction.
  const double* predictors = memory_.eighthRun > 0 ? memory_.predictorLspf : prevLspfQ_;
  for (int i = 0; i < LpcOrder; ++i) {
    const double base = predictors[i] * (29.0 / 32.0) + (i + 1) * ((1 - 29.0 / 32.0) / 11);
    if (lspfU[i] > base) out.lspUp = uint16_t(out.lspUp | (1u << i));
  }
  out.seed = uint8_t(frameCount_ & 15u);
  if (EighthRateNoiseSeed(out) == 0xFFFF) out.seed ^= 1;  // all ones would be an erasure

  // Follow the decoder.
  SynthesisState& st = state_;
  float* exc = st.exc + PitchHistory;
  double lspfQ[LpcOrder];
  DecodeEighthRate(out, prevLspfQ_, memory_, exc, lspfQ);
  float a[LpcOrder], num[LpcOrder], den[LpcOrder];
  EighthRatePredictor(prevLspfQ_, lspfQ, a);
  SynthesisFilter(a, exc, st.recon, QcelpFrameSamples, st.formantMem);
  WeightingFilter(lspfU, num, den);
  float err[QcelpFrameSamples];
  for (int n = 0; n < QcelpFrameSamples; ++n) err[n] = frame[n] - st.recon[n];
  Weight(num, den, err, err, QcelpFrameSamples, st.weightInMem, st.weightOutMem);
  std::memcpy(st.pre + PitchHistory, exc, QcelpFrameSamples * sizeof(float));
  std::memmove(st.exc, st.exc + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memmove(st.pre, st.pre + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memcpy(prevLspfQ_, lspfQ, sizeof lspfQ);
}

float QcelpEncoder::SearchCodebook(const float* frame, int k, const PitchChoice& pitch,
                                   float scale, const SubframeFilters& filters,
                                   int logGains[QcelpCodebookSubframes], QcelpFullRateFrame& out,
                                   SynthesisState& st, float* trueScale) const {
  out.pitchLag[k] = uint8_t(pitch.lagCode);
  out.pitchFrac[k] = uint8_t(pitch.frac);
  out.pitchGain[k] = uint8_t(pitch.gainCode);
  const float pitchGain = PitchGainValue(pitch.lagCode, pitch.gainCode);
  const float preGain = options_.modelPitchPrefilter ? PrefilterGain(pitchGain) : 0.0f;
  if (preGain == 0) scale = 1.0f;
  const int lag = pitch.lagCode + 16;
  const int base = k * PitchSubframeSamples;
  float* exc = st.exc + PitchHistory;
  float* pre = st.pre + PitchHistory;
  // The pre-filter's scale depends on the whole pitch subframe, so the search assumes
  // `scale` and the subframe is synthesised again below with the scale that came out.
  float formantMem[LpcOrder], weightInMem[LpcOrder], weightOutMem[LpcOrder];
  std::memcpy(formantMem, st.formantMem, sizeof formantMem);
  std::memcpy(weightInMem, st.weightInMem, sizeof weightInMem);
  std::memcpy(weightOutMem, st.weightOutMem, sizeof weightOutMem);
  float weightedError = 0;
  for (int j = 0; j < 4; ++j) {
    const int i = 4 * k + j;
    const int n0 = base + j * CodebookSubframeSamples;
    // The pitch filters' outputs with no codebook input (their lag is at least 16, so they
    // only read values that are already final).
    float predSyn[CodebookSubframeSamples], predPre[CodebookSubframeSamples];
    float x[CodebookSubframeSamples];
    for (int m = 0; m < CodebookSubframeSamples; ++m) {
      predSyn[m] = pitchGain != 0 ? pitchGain * PitchPrediction(exc + n0 + m, lag, pitch.frac) : 0;
      predPre[m] = predSyn[m] +
                   (preGain != 0 ? preGain * PitchPrediction(pre + n0 + m, lag, pitch.frac) : 0);
      x[m] = scale * predPre[m];
    }
    float t[CodebookSubframeSamples];
    {
      float sm[LpcOrder], im[LpcOrder], om[LpcOrder], s0[CodebookSubframeSamples];
      std::memcpy(sm, st.formantMem, sizeof sm);
      std::memcpy(im, st.weightInMem, sizeof im);
      std::memcpy(om, st.weightOutMem, sizeof om);
      SynthesisFilter(filters.aq, x, s0, CodebookSubframeSamples, sm);
      for (int m = 0; m < CodebookSubframeSamples; ++m) s0[m] = frame[n0 + m] - s0[m];
      Weight(filters.num, filters.den, s0, t, CodebookSubframeSamples, im, om);
    }
    // Gain levels that this subframe can code, as they reach the formant filter.
    float levels[16];
    int levelCount, floorGain = 0;
    if (j == 3) {
      floorGain = FourthGainFloor(logGains[i - 1], logGains[i - 2], logGains[i - 3]);
      levelCount = 8;
    } else {
      levelCount = 16;
    }
    for (int m = 0; m < levelCount; ++m) levels[m] = scale * CodebookGainValue(floorGain + 4 * m);

    // Rank the shifts by the error reduction of their best unquantised gain, c^2 / e, then
    // quantise the gain for the few best only.
    constexpr int Shortlist = 6;
    int shortShift[Shortlist];
    float shortScore[Shortlist], shortCorr[Shortlist];
    int shortCount = 0;
    for (int s = 0; s < 128; ++s) {
      const float e = filters.respEnergy[s];
      if (!(e > 0)) continue;
      const float c = Dot(t, filters.resp[s], CodebookSubframeSamples);
      const float score = c * c / e;
      if (shortCount == Shortlist && score <= shortScore[Shortlist - 1]) continue;
      int at = shortCount < Shortlist ? shortCount++ : Shortlist - 1;
      while (at > 0 && shortScore[at - 1] < score) {
        shortScore[at] = shortScore[at - 1];
        shortShift[at] = shortShift[at - 1];
        shortCorr[at] = shortCorr[at - 1];
        --at;
      }
      shortScore[at] = score;
      shortShift[at] = s;
      shortCorr[at] = c;
    }
    float bestGain = 0;
    int bestShift = 0, bestSign = 0, bestCode = 0;
    for (int r = 0; r < shortCount; ++r) {
      const int s = shortShift[r];
      const float e = filters.respEnergy[s];
      const float c = shortCorr[r];
      const float ac = std::fabs(c);
      const float opt = ac / e;
      // Nearest level to the optimum gives the largest error reduction.
      int m = 0;
      while (m + 1 < levelCount && levels[m + 1] <= opt) ++m;
      if (m + 1 < levelCount && levels[m + 1] - opt < opt - levels[m]) ++m;
      const float q = levels[m];
      const float gain = 2 * q * ac - q * q * e;
      if (r == 0 || gain > bestGain) {
        bestGain = gain;
        bestShift = s;
        bestSign = c < 0;
        bestCode = m;
      }
    }
    out.codebookIndex[i] = uint8_t(CodebookIndexForShift(bestShift, bestSign));
    out.codebookSign[i] = uint8_t(bestSign);
    out.codebookGain[i] = uint8_t(bestCode);
    logGains[i] = CodebookLogGain(i, bestCode, logGains);

    // Commit the subframe through the decoder's filters (with the assumed scale).
    const float g = CodebookGainValue(logGains[i]) * (bestSign ? -1.0f : 1.0f);
    for (int m = 0; m < CodebookSubframeSamples; ++m) {
      const float c = g * FullRateCodebook[(bestShift + m) & 127];
      exc[n0 + m] = predSyn[m] + c;
      pre[n0 + m] = predPre[m] + c;
      x[m] = scale * pre[n0 + m];
    }
    SynthesisFilter(filters.aq, x, st.recon + n0, CodebookSubframeSamples, st.formantMem);
    float err[CodebookSubframeSamples], werr[CodebookSubframeSamples];
    for (int m = 0; m < CodebookSubframeSamples; ++m) err[m] = frame[n0 + m] - st.recon[n0 + m];
    Weight(filters.num, filters.den, err, werr, CodebookSubframeSamples, st.weightInMem,
           st.weightOutMem);
    weightedError += Dot(werr, werr, CodebookSubframeSamples);
  }
  const float actual = preGain != 0 ? PrefilterScale(exc + base, pre + base, PitchSubframeSamples)
                                    : 1.0f;
  if (trueScale) *trueScale = actual;
  if (actual != scale) {
    // Synthesise the subframe again as the decoder will, from the memories at its start.
    std::memcpy(st.formantMem, formantMem, sizeof formantMem);
    std::memcpy(st.weightInMem, weightInMem, sizeof weightInMem);
    std::memcpy(st.weightOutMem, weightOutMem, sizeof weightOutMem);
    float x[PitchSubframeSamples], err[PitchSubframeSamples], werr[PitchSubframeSamples];
    for (int n = 0; n < PitchSubframeSamples; ++n) x[n] = actual * pre[base + n];
    SynthesisFilter(filters.aq, x, st.recon + base, PitchSubframeSamples, st.formantMem);
    for (int n = 0; n < PitchSubframeSamples; ++n) err[n] = frame[base + n] - st.recon[base + n];
    Weight(filters.num, filters.den, err, werr, PitchSubframeSamples, st.weightInMem,
           st.weightOutMem);
    weightedError = Dot(werr, werr, PitchSubframeSamples);
  }
  return weightedError;
}

void QcelpEncoder::EncodeFullRate(const float* frame, const double lspfU[LpcOrder],
                                  QcelpFullRateFrame& out) {
  out = QcelpFullRateFrame{};
  QuantiseLsp(lspfU, out.lsp);
  double lspfQ[LpcOrder];
  QuantisedLspFrequencies(out.lsp, lspfQ);

  int logGains[QcelpCodebookSubframes] = {};
  SubframeFilters filters;
  for (int k = 0; k < QcelpPitchSubframes; ++k) {
    const int base = k * PitchSubframeSamples;
    const float* speech = frame + base;
    SubframePredictor(prevLspfQ_, lspfQ, k, filters.aq);
    // Weighting filter from the unquantised, interpolated predictor.
    double mix[LpcOrder];
    const double w = 0.25 * (k + 1);
    for (int i = 0; i < LpcOrder; ++i) mix[i] = w * lspfU[i] + (1 - w) * prevLspfU_[i];
    WeightingFilter(mix, filters.num, filters.den);
    // Impulse response of the weighted synthesis filter.
    float h[PitchSubframeSamples] = {1.0f};
    {
      float sm[LpcOrder] = {}, im[LpcOrder] = {}, om[LpcOrder] = {};
      SynthesisFilter(filters.aq, h, h, PitchSubframeSamples, sm);
      Weight(filters.num, filters.den, h, h, PitchSubframeSamples, im, om);
    }
    // Pitch: target is the weighted speech less the filters' ringing.
    float target[PitchSubframeSamples];
    {
      float zero[PitchSubframeSamples] = {};
      float sm[LpcOrder], im[LpcOrder], om[LpcOrder];
      std::memcpy(sm, state_.formantMem, sizeof sm);
      std::memcpy(im, state_.weightInMem, sizeof im);
      std::memcpy(om, state_.weightOutMem, sizeof om);
      float ring[PitchSubframeSamples];
      SynthesisFilter(filters.aq, zero, ring, PitchSubframeSamples, sm);
      for (int n = 0; n < PitchSubframeSamples; ++n) ring[n] = speech[n] - ring[n];
      Weight(filters.num, filters.den, ring, target, PitchSubframeSamples, im, om);
    }
    PitchChoice choices[PitchTries];
    const int tries = SearchPitch(target, h, state_.exc + PitchHistory + base,
                                  state_.pre + PitchHistory + base, choices);

    // Weighted responses of every codebook shift over a codebook subframe.
    for (int s = 0; s < 128; ++s) {
      float c[CodebookSubframeSamples];
      for (int m = 0; m < CodebookSubframeSamples; ++m) c[m] = FullRateCodebook[(s + m) & 127];
      Convolve(h, c, filters.resp[s], CodebookSubframeSamples);
      filters.respEnergy[s] = Dot(filters.resp[s], filters.resp[s], CodebookSubframeSamples);
    }

    // The pitch choice is only as good as what the codebook makes of it: run the codebook
    // search after each candidate and keep the best outcome. When the pre-filter's scale
    // came out far from the one assumed, search once more assuming the one that came out.
    float bestError = 0;
    bool haveBest = false;
    SynthesisState trial, best;
    QcelpFullRateFrame trialOut, bestOut;
    int trialGains[QcelpCodebookSubframes], bestGains[QcelpCodebookSubframes];
    for (int c = 0; c < tries; ++c) {
      float scale = choices[c].scale;
      for (int pass = 0; pass < 2; ++pass) {
        trial = state_;
        trialOut = out;
        std::memcpy(trialGains, logGains, sizeof trialGains);
        float actual = scale;
        const float error = SearchCodebook(frame, k, choices[c], scale, filters, trialGains,
                                           trialOut, trial, &actual);
        if (!haveBest || error < bestError) {
          haveBest = true;
          bestError = error;
          best = trial;
          bestOut = trialOut;
          std::memcpy(bestGains, trialGains, sizeof bestGains);
        }
        if (std::fabs(actual - scale) <= 0.05f * std::max(actual, scale)) break;
        scale = actual;
      }
    }
    state_ = best;
    out = bestOut;
    std::memcpy(logGains, bestGains, sizeof bestGains);
  }
  RememberFullRate(memory_, logGains);
  std::memmove(state_.exc, state_.exc + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memmove(state_.pre, state_.pre + QcelpFrameSamples, PitchHistory * sizeof(float));
  std::memcpy(prevLspfQ_, lspfQ, sizeof lspfQ);
}

std::vector<uint8_t> EncodeQcelpPackets(std::span<const int16_t> pcm,
                                        const QcelpEncoderOptions& options) {
  const size_t frames = (pcm.size() + QcelpFrameSamples - 1) / QcelpFrameSamples;
  std::vector<uint8_t> packets;
  packets.reserve(frames * FullRatePacketBytes);
  QcelpEncoder encoder(options);
  uint8_t packet[FullRatePacketBytes];
  // One frame and its look-ahead at a time, silence past the end.
  float window[QcelpFrameSamples + QcelpLookahead];
  for (size_t f = 0; f < frames; ++f) {
    const size_t start = f * QcelpFrameSamples;
    for (size_t i = 0; i < std::size(window); ++i)
      window[i] = start + i < pcm.size() ? float(pcm[start + i]) : 0.0f;
    const size_t size = encoder.EncodeFrame(window, packet);
    packets.insert(packets.end(), packet, packet + size);
  }
  return packets;
}
