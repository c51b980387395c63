#include "import/mp3_import_progress.h"

#include <algorithm>

Mp3ImportProgress::Mp3ImportProgress(int64_t fileBytes)
    : fileBytes_(std::max<int64_t>(fileBytes, 0)),
      high_(static_cast<int32_t>(std::clamp<int64_t>(fileBytes_ / 5, 2, 0xFFFF))),
      stride_(std::max((high_ - 1) / 256, 1)),
      shown_(1) {}

int32_t Mp3ImportProgress::Advance(int64_t consumedBytes) {
  int32_t position = high_;
  if (fileBytes_ > 0 && consumedBytes < fileBytes_)
    position = 1 + static_cast<int32_t>((high_ - 1) * std::max<int64_t>(consumedBytes, 0) /
                                        fileBytes_);
  if (position <= shown_) return -1;
  if (position - shown_ < stride_ && position != high_) return -1;
  shown_ = position;
  return position;
}
