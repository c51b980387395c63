// The times typed in "Set the start and end...": any text is read or refused, and what is
// accepted is a selection inside the song that reads back as the same times.
#include <cstddef>
#include <cstdint>
#include <string>

#include "view/selection_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t rate = 1 + (data[0] | data[1] << 8) % 192000;
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const size_t split = text.find('|');
  const std::string start = text.substr(0, split);
  const std::string end = split == std::string::npos ? "" : text.substr(split + 1);
  FrameRange range;
  const uint32_t songFrames = rate * 600;
  if (CheckTypedTimes(start, end, rate, songFrames, &range).empty()) {
    if (range.start >= range.end || range.end > songFrames) __builtin_trap();
    uint64_t again = 0;
    if (!ParseClipTime(ClipTimeText(range.start, rate), rate, &again)) __builtin_trap();
  }
  return 0;
}
