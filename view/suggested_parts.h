// The parts of the song proposed as its ringtone (the best-part detector's, best first): shown
// as a band of their own under the trace and as times in the ruler band, never a selection
// until the user takes one.
#pragma once
#include <cstdint>
#include <string>

#include "session/clip_range.h"

class SuggestedParts {
 public:
  static constexpr int MaxParts = 3;

  // Replaces the proposals (at most MaxParts are kept); the first becomes the current one.
  // `confident`: the detector found a repeated part rather than only the loudest.
  void Set(const FrameRange* parts, int count, bool confident);
  void Clear() { count_ = 0; }
  bool Any() const { return count_ > 0; }
  int Count() const { return count_; }
  // The proposal shown and taken by "Select the suggested part".
  FrameRange Current() const { return parts_[current_]; }
  int CurrentIndex() const { return current_; }
  // "Next suggestion": the next proposal, after the last the first again.
  void Next();
  // What the ruler band says of the current proposal: "Suggested: chorus 0:43.20-1:13.20"
  // ("Suggested: 0:43.20-1:13.20" when nothing repeats, so the part is only the loudest).
  std::string RulerText(uint32_t sampleRate) const;

 private:
  FrameRange parts_[MaxParts];
  int count_ = 0;
  int current_ = 0;
  bool confident_ = false;
};
