// The best-part detector over any samples: the first bytes choose the rate, the channels and
// the clip's length, the rest are the samples.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/best_part.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 7) return 0;
  const uint32_t rate = uint32_t(data[0] | data[1] << 8 | data[2] << 16);
  const uint16_t channels = data[3];
  const int32_t clipMs = int32_t(data[4] | data[5] << 8) * 10 - 1000;
  std::vector<int16_t> samples((size - 6) / 2);
  if (!samples.empty()) std::memcpy(samples.data(), data + 6, samples.size() * 2);
  BestPartProposal out[BestPartMaxProposals];
  const int count = FindBestParts({samples, rate, channels}, clipMs, nullptr, out);
  for (int i = 0; i < count; ++i)
    if (out[i].endFrame > samples.size() || out[i].startFrame > out[i].endFrame) __builtin_trap();
  return 0;
}
