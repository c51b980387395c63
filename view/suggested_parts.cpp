#include "view/suggested_parts.h"

#include <algorithm>

#include "view/selection_frames.h"

void SuggestedParts::Set(const FrameRange* parts, int count, bool confident) {
  count_ = std::clamp(count, 0, MaxParts);
  std::copy(parts, parts + count_, parts_);
  current_ = 0;
  confident_ = confident;
}

void SuggestedParts::Next() {
  if (count_ > 0) current_ = (current_ + 1) % count_;
}

std::string SuggestedParts::RulerText(uint32_t sampleRate) const {
  if (count_ == 0) return {};
  const FrameRange part = Current();
  return std::string(confident_ ? "Suggested: chorus " : "Suggested: ") +
         ClipTimeText(part.start, sampleRate) + "-" + ClipTimeText(part.end, sampleRate);
}
