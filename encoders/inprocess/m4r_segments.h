// How a clip is cut for the iPhone ringtone's AAC encoding on two processors: two encoders
// with the same settings, each on its own thread, whose packets join at a frame boundary.
// Portable: the numbers only.
#pragma once
#include <cstdint>

inline constexpr int64_t M4rFrameSamples = 1024;  // the AAC encoder's frame
// Encoder A reads this far past the cut, so that its psychoacoustic model and its window
// shapes for the frames before the cut see the signal that follows.
inline constexpr int64_t M4rLookahead = 2 * M4rFrameSamples;
// Encoder B starts this far before the cut, so that its state has settled when it gets there.
inline constexpr int64_t M4rPreroll = 8 * M4rFrameSamples;
// ... and is given a frame of silence before that. The encoder's rate control raises its
// quality only slowly (the clip's start takes it some seconds to reach its working point) but
// lowers it at once; after a silent frame it starts high and is at its working point within
// the preroll, where an encoder started on the music would code the second half a dB or so
// worse than the first.
inline constexpr int64_t M4rLeadIn = M4rFrameSamples;
// Shorter clips stay on one encoder.
inline constexpr int64_t M4rShortestSplit = 4 * 44100;

// One encoder's share, in sample frames of the clip: it encodes `leadIn` frames of silence,
// then [first, end), and keeps the packets whose time stamp (on the clip's timeline, the
// encoder delay before 0) lies in [keepFrom, keepUntil).
struct M4rSegment {
  int64_t first = 0;
  int64_t end = 0;
  int64_t keepFrom = INT64_MIN;
  int64_t keepUntil = INT64_MAX;
  int64_t leadIn = 0;
};

// The cut: the frame boundary nearest the middle of the clip.
inline constexpr int64_t M4rCut(int64_t frames) {
  return (frames / 2 + M4rFrameSamples / 2) / M4rFrameSamples * M4rFrameSamples;
}

// Fills `segments` for a clip of `frames` sample frames on `processors` processors and
// returns how many there are: one (the whole clip, every packet) or two.
inline int PlanM4rSegments(int64_t frames, int processors, M4rSegment segments[2]) {
  segments[0] = M4rSegment{0, frames};
  if (processors < 2 || frames < M4rShortestSplit) return 1;
  const int64_t cut = M4rCut(frames);
  segments[0].end = cut + M4rLookahead;
  segments[0].keepUntil = cut;
  segments[1] = M4rSegment{cut - M4rPreroll, frames, cut, INT64_MAX, M4rLeadIn};
  return 2;
}
