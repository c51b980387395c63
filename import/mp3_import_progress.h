// How the MP3 import moves the progress bar: over the range 1 to file size / 5, capped at the
// 16 bits the bar's limits hold, in proportion to the bytes of the file decoded so far, so that
// the bar runs from empty to full once whatever the file's size. It moves in at most about 256
// visible steps: every move is a message to another thread.
#pragma once
#include <cstdint>

class Mp3ImportProgress {
 public:
  explicit Mp3ImportProgress(int64_t fileBytes);

  int32_t Low() const { return 1; }
  int32_t High() const { return high_; }
  // The position the bar should show after `consumedBytes` bytes of the file, or -1 when it
  // need not move yet.
  int32_t Advance(int64_t consumedBytes);

 private:
  int64_t fileBytes_;
  int32_t high_;
  int32_t stride_;
  int32_t shown_;
};
