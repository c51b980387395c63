// The Ogg page walk over arbitrary bytes: a stream it takes has at least one page per 28
// bytes at most, a Vorbis header's channels and rate.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/ogg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  OggFileInfo info;
  if (ReadOggVorbisFile(copy, &info)) {
    if (info.pages == 0 || info.pages > size / 28 || info.channels == 0 || info.channels > 8 ||
        info.sampleRate == 0)
      __builtin_trap();
    (void)OggDurationMs(info);
  }
  return 0;
}
