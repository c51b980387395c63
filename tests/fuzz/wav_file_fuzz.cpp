// The RIFF/WAVE chunk walk and the "fmt " record reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  WavWalk w = WalkWavChunks(copy);
  if (w.result == WavWalkResult::Loaded) {
    if (w.dataOffset + w.dataSize > size || w.formatOffset + 16 > size) __builtin_trap();
    volatile uint8_t sink = 0;
    for (size_t i = 0; i < w.dataSize; ++i) sink = sink ^ copy[w.dataOffset + i];
  }
  WavFormat format;
  if (ReadWavFormat(copy, &format) &&
      (size < 16 || (format.formatTag == WavTagExtensible && size < 40)))
    __builtin_trap();
  return 0;
}
