#include "analysis/best_part.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/beat_snap.h"
#include "analysis/song_features.h"

namespace {

constexpr int32_t MaxSegments = 1024;     // bounds the similarity matrix: 4 MB
constexpr double HeadSeconds = 10;        // the part of a candidate whose repetition counts
constexpr double LoudSeconds = 15;        // the part of a candidate whose loudness counts
constexpr float ChromaWeight = 0.7f, TimbreWeight = 0.3f;
constexpr float ShiftedPenalty = 0.05f;   // a repeat in another key counts a little less
constexpr double ThresholdQuantile = 0.8; // similarity above this share of the song's is a repeat
constexpr int MaxRepeats = 3;         // a chorus comes back two or three times
// Repetition (the sum of a head's best repeats, each 0..1) below NoRepetition is what noise
// and through-composed music reach; FullRepetition what a song whose chorus comes back
// unchanged three times or more does. Confidence runs from NoRepetitionConfidence to 1 between.
constexpr double NoRepetition = 0.9, FullRepetition = MaxRepeats;
constexpr double StartShare = 0.8, StartSearchSeconds = 12;  // where a part's start is sought
constexpr double NoveltySeconds = 6;      // half the width of the boundary kernel
constexpr double SnapSeconds = 1.5;

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// m[i * S + j]: how alike the `head` segments from i are to those from j, in the key shift
// that makes them most alike (mean of the frame similarities along the diagonal); 0 where the
// two overlap or run past the end. Symmetric. False when cancelled.
bool RepetitionMatrix(const SongFeatures& f, int32_t head, const std::atomic<bool>* cancel,
                      std::vector<float>& m) {
  const int32_t S = f.segments;
  m.assign(size_t(S) * S, 0.0f);
  std::vector<double> prefix(size_t(FeatureBins) * (S + 1));
  for (int32_t lag = head; lag + head <= S; ++lag) {
    if (Cancelled(cancel)) return false;
    const int32_t pairs = S - lag;
    for (int k = 0; k < FeatureBins; ++k) prefix[size_t(k) * (S + 1)] = 0;
    for (int32_t i = 0; i < pairs; ++i) {
      const float* ci = &f.chroma[size_t(i) * FeatureBins];
      const float* cj = &f.chroma[size_t(i + lag) * FeatureBins];
      const float* ti = &f.timbre[size_t(i) * FeatureBins];
      const float* tj = &f.timbre[size_t(i + lag) * FeatureBins];
      float timbre = 0;
      for (int b = 0; b < FeatureBins; ++b) timbre += ti[b] * tj[b];
      for (int k = 0; k < FeatureBins; ++k) {
        float chroma = 0;
        for (int b = 0; b < FeatureBins; ++b) chroma += ci[b] * cj[(b + k) % FeatureBins];
        const float sim = ChromaWeight * chroma + TimbreWeight * timbre - (k ? ShiftedPenalty : 0.0f);
        double* p = &prefix[size_t(k) * (S + 1)];
        p[i + 1] = p[i] + sim;
      }
    }
    for (int32_t i = 0; i + head <= pairs; ++i) {
      double best = -1e9;
      for (int k = 0; k < FeatureBins; ++k) {
        const double* p = &prefix[size_t(k) * (S + 1)];
        best = std::max(best, p[i + head] - p[i]);
      }
      const float v = float(best / head);
      m[size_t(i) * S + (i + lag)] = v;
      m[size_t(i + lag) * S + i] = v;
    }
  }
  return true;
}

// The similarity above which a pair of heads counts as a repeat.
float RepeatThreshold(const std::vector<float>& m, int32_t S, int32_t head) {
  std::vector<float> values;
  for (int32_t i = 0; i + head <= S; ++i)
    for (int32_t j = i + head; j + head <= S; ++j) values.push_back(m[size_t(i) * S + j]);
  if (values.empty()) return 1.0f;
  const size_t at = size_t(ThresholdQuantile * double(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + ptrdiff_t(at), values.end());
  return std::min(values[at], 0.95f);
}

// How often and how clearly the head from s comes back elsewhere: the sum of the best
// MaxRepeats peaks above the threshold along its row, each 0..1.
double Repetition(const std::vector<float>& m, int32_t S, int32_t head, int32_t s, float threshold) {
  const float* row = &m[size_t(s) * S];
  const int32_t radius = std::max(1, head / 2);
  std::vector<double> peaks;
  for (int32_t j = 0; j + head <= S; ++j) {
    if (std::abs(j - s) < head || row[j] <= threshold) continue;
    bool peak = true;
    for (int32_t d = -radius; d <= radius && peak; ++d) {
      const int32_t n = j + d;
      if (d == 0 || n < 0 || n >= S) continue;
      peak = d < 0 ? row[n] < row[j] : row[n] <= row[j];
    }
    if (peak) peaks.push_back((row[j] - threshold) / (1.0 - threshold));
  }
  std::sort(peaks.begin(), peaks.end(), std::greater<>());
  double sum = 0;
  for (size_t i = 0; i < peaks.size() && i < size_t(MaxRepeats); ++i) sum += peaks[i];
  return sum;
}

// How strongly the song changes at each segment: the checkerboard kernel of Foote (2000),
// tapered, over the similarity of the `half` segments before and after it.
std::vector<double> Novelty(const SongFeatures& f, int32_t half) {
  const int32_t S = f.segments;
  std::vector<double> novelty(size_t(S), 0.0);
  std::vector<double> taper(size_t(2 * half));
  for (int32_t a = -half; a < half; ++a) {
    const double x = (a + 0.5) / (0.5 * half);
    taper[size_t(a + half)] = std::exp(-0.5 * x * x);
  }
  for (int32_t s = half; s + half <= S; ++s) {
    double sum = 0;
    for (int32_t a = -half; a < half; ++a) {
      const float* ca = &f.chroma[size_t(s + a) * FeatureBins];
      const float* ta = &f.timbre[size_t(s + a) * FeatureBins];
      for (int32_t b = a + 1; b < half; ++b) {
        const float* cb = &f.chroma[size_t(s + b) * FeatureBins];
        const float* tb = &f.timbre[size_t(s + b) * FeatureBins];
        float sim = 0;
        for (int i = 0; i < FeatureBins; ++i) sim += ChromaWeight * ca[i] * cb[i] + TimbreWeight * ta[i] * tb[i];
        const double w = taper[size_t(a + half)] * taper[size_t(b + half)];
        sum += ((a < 0) == (b < 0) ? w : -w) * sim;
      }
    }
    novelty[size_t(s)] = std::max(0.0, sum);
  }
  return novelty;
}

}  // namespace

int FindBestParts(const PcmSong& song, int32_t clipMilliseconds, const std::atomic<bool>* cancel,
                  BestPartProposal out[BestPartMaxProposals]) {
  if (!song.Usable() || clipMilliseconds <= 0) return 0;
  const uint64_t frames = song.Frames();
  const uint64_t clipFrames = uint64_t(clipMilliseconds) * song.sampleRate / 1000;
  if (frames == 0 || clipFrames == 0) return 0;

  SongFeatures f;
  if (!ExtractSongFeatures(song, MaxSegments, cancel, f)) return Cancelled(cancel) ? -1 : 0;
  const int32_t S = f.segments;
  const float loudest = *std::max_element(f.power.begin(), f.power.end());
  if (loudest < 1e-7f) return 0;
  if (frames <= clipFrames) {
    out[0] = {0, frames, 0.0};
    return 1;
  }

  const double seg = f.segmentSeconds;
  const int32_t clip = std::max<int32_t>(1, int32_t(std::ceil(clipMilliseconds / 1000.0 / seg)));
  const int32_t head = std::max<int32_t>(2, std::min<int32_t>(clip, int32_t(HeadSeconds / seg + 0.5)));
  const int32_t loudSpan = std::max<int32_t>(1, std::min<int32_t>(clip, int32_t(LoudSeconds / seg + 0.5)));
  const int32_t lastStart = std::max<int32_t>(0, S - clip);

  // Loudness of each candidate, 0..1 over the 15 dB below the loudest candidate.
  std::vector<double> powerSum(size_t(S) + 1, 0.0);
  for (int32_t s = 0; s < S; ++s) powerSum[s + 1] = powerSum[s] + f.power[s];
  std::vector<double> loud(size_t(lastStart) + 1);
  double loudMax = -1e9;
  for (int32_t s = 0; s <= lastStart; ++s) {
    const int32_t end = std::min(S, s + loudSpan);
    loud[s] = 10 * std::log10((powerSum[end] - powerSum[s]) / (end - s) + 1e-12);
    loudMax = std::max(loudMax, loud[s]);
  }
  for (double& l : loud) l = std::clamp(1 + (l - loudMax) / 15, 0.0, 1.0);

  std::vector<double> rep(size_t(lastStart) + 1, 0.0);
  if (S >= 2 * head) {
    std::vector<float> m;
    if (!RepetitionMatrix(f, head, cancel, m)) return -1;
    const float threshold = RepeatThreshold(m, S, head);
    for (int32_t s = 0; s <= lastStart && s + head <= S; ++s) {
      if (Cancelled(cancel)) return -1;
      rep[s] = Repetition(m, S, head, s, threshold);
    }
  }
  const double repMax = *std::max_element(rep.begin(), rep.end());
  const bool repeats = repMax >= NoRepetition;
  const std::vector<double> novelty =
      Novelty(f, std::max<int32_t>(2, int32_t(NoveltySeconds / seg + 0.5)));

  // A candidate's score: repetition, then loudness, then a little against the intro.
  const double songSeconds = double(frames) / song.sampleRate;
  std::vector<double> score(rep.size());
  for (int32_t s = 0; s <= lastStart; ++s) {
    const double position = 0.85 + 0.15 * std::min(1.0, s * seg / (0.1 * songSeconds));
    score[s] = (repeats ? rep[s] * (0.4 + 0.6 * loud[s]) : loud[s] + 1e-6) * position;
  }

  int count = 0;
  const int32_t apart = std::max(head, clip / 2);
  while (count < BestPartMaxProposals) {
    const auto best = std::max_element(score.begin(), score.end());
    if (*best <= 0) break;
    const int32_t top = int32_t(best - score.begin());
    int32_t start = top;
    if (repeats) {
      // The repeated part begins at the strongest change of the song where the repetition is
      // already (nearly) as high as at its peak.
      double bestChange = -1;
      const int32_t back = int32_t(StartSearchSeconds / seg);
      for (int32_t s = std::max(0, top - back); s <= std::min(lastStart, top + 2); ++s) {
        if (rep[s] < StartShare * rep[top] || novelty[s] <= bestChange) continue;
        bestChange = novelty[s];
        start = s;
      }
    }
    for (int32_t s = std::max(0, std::min(top, start) - apart + 1);
         s <= lastStart && s < std::max(top, start) + apart; ++s)
      score[s] = 0;
    uint64_t frame = uint64_t(std::llround(start * seg * song.sampleRate));
    frame = std::min(SnapToBeat(song, frame, SnapSeconds), frames - clipFrames);
    bool distinct = true;
    for (int i = 0; i < count; ++i) {
      const uint64_t other = out[i].startFrame;
      distinct &= (frame > other ? frame - other : other - frame) * 2 >= clipFrames;
    }
    if (!distinct) continue;
    const double share = std::clamp((rep[top] - NoRepetition) / (FullRepetition - NoRepetition), 0.0, 1.0);
    double confidence = repeats ? NoRepetitionConfidence + (1 - NoRepetitionConfidence) * share
                                : 0.9 * NoRepetitionConfidence * repMax / NoRepetition;
    if (count > 0) confidence = std::min(confidence, out[count - 1].confidence);  // best first
    out[count++] = {frame, frame + clipFrames, confidence};
  }
  return count;
}
