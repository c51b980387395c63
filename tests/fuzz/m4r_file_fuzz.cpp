// The MPEG-4 box walk over arbitrary bytes: a file it takes has one AAC-LC track, a
// sample table that fits the file, and a duration.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/m4r_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  M4rFileInfo info;
  if (ReadM4rFile(copy, &info)) {
    if (info.audioTracks != 1 || info.audioObjectType != AacLowComplexity ||
        info.sampleCount == 0 || info.sampleCount > size || info.timescale == 0)
      __builtin_trap();
    (void)M4rDurationMs(info);
  }
  return 0;
}
