#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/riff_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  WavWalk w = WalkWavChunks(copy);
  if (w.result == WavWalkResult::Loaded) {
    if (w.dataOffset + w.dataSize > size || w.formatOffset + 16 > size) __builtin_trap();
    volatile uint8_t sink = 0;
    for (size_t i = 0; i < w.dataSize; ++i) sink = sink ^ copy[w.dataOffset + i];
  }
  return 0;
}
