// The MP4 sample-table check over any bytes as an in-memory file: it never reads outside the
// file, and it stays within its read budget whatever the boxes claim.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/mp4_boxes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);  // exact size: reads past the end are caught
  int reads = 0;
  Mp4SampleTablesFit(file.size(), [&](uint64_t at, std::span<uint8_t> out) {
    if (at > file.size() || out.size() > file.size() - at) __builtin_trap();
    if (++reads > Mp4WalkReadLimit) __builtin_trap();
    std::memcpy(out.data(), file.data() + at, out.size());
    return true;
  });
  return 0;
}
