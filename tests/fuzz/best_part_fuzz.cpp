// The best-part detector over any samples: the first bytes choose the rate, the channels and
// the sample width (top bit: 8 bits), and the clip's length; the rest are the samples.
#include <cstddef>
#include <cstdint>

#include "analysis/best_part.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const uint32_t rate = uint32_t(data[0] | data[1] << 8 | data[2] << 16);
  const uint16_t channels = data[3] & 0x7F;
  const uint16_t bits = data[3] & 0x80 ? 8 : 16;
  const int32_t clipMs = int32_t(data[4] | data[5] << 8) * 10 - 1000;
  const PcmSong song{{data + 6, size - 6}, rate, channels, bits};
  BestPartProposal out[BestPartMaxProposals];
  const int count = FindBestParts(song, clipMs, nullptr, out);
  for (int i = 0; i < count; ++i)
    if (out[i].endFrame > song.Frames() || out[i].startFrame > out[i].endFrame) __builtin_trap();
  return 0;
}
