// The best part of a song: where its chorus is, proposed as the ringtone's clip. A plain
// function over the decoded samples, for any caller (the window's worker, the command line,
// the benchmark); how it decides is told in docs/best-part.md.
#pragma once
#include <atomic>
#include <cstdint>

#include "analysis/pcm_song.h"

inline constexpr int BestPartMaxProposals = 3;

struct BestPartProposal {
  uint64_t startFrame = 0;
  uint64_t endFrame = 0;   // startFrame + the length, or the song's end when it is shorter
  double confidence = 0;   // 0..1: how clearly the part is the most repeated one
};

// Up to BestPartMaxProposals parts of `clipMilliseconds`, best first, at least half a clip
// apart, into `out`. Returns their count: 0 for silence, an unusable song or a length of 0;
// one part (the whole song, confidence 0) for a song no longer than the clip; the loudest
// parts with a low confidence (below NoRepetitionConfidence) when nothing repeats. -1 when
// `cancel` (may be null) was raised; it is read often enough that the call returns within a
// few milliseconds. Time and memory are bounded whatever the song's length.
int FindBestParts(const PcmSong& song, int32_t clipMilliseconds, const std::atomic<bool>* cancel,
                  BestPartProposal out[BestPartMaxProposals]);

inline constexpr double NoRepetitionConfidence = 0.1;
