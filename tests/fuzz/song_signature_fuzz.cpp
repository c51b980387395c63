#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/song_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  volatile SongContainer kind = SniffSongContainer(copy.data(), copy.size());
  (void)kind;
  return 0;
}
