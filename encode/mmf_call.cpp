#include "encode/mmf_call.h"

#include <algorithm>

uint32_t InitialMmfCapacity(uint32_t inputLength) {
  const uint64_t capacity = (static_cast<uint64_t>(inputLength) + 1000u) * 4u;
  return static_cast<uint32_t>(std::min<uint64_t>(capacity, MmfCapacityCap));
}

uint32_t NextMmfCapacity(uint32_t capacity) {
  return static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(capacity) * 4u,
                                                  MmfCapacityCap));
}

int32_t ConvertWithGrowth(uint32_t inputLength, const std::function<bool(uint32_t)>& resize,
                          const std::function<int32_t(uint32_t)>& call) {
  uint32_t capacity = InitialMmfCapacity(inputLength);
  if (!resize(capacity)) return MmfResultFailed;
  for (;;) {
    const int32_t result = call(capacity);
    if (result >= 0) {
      return static_cast<uint32_t>(result) <= capacity ? result : MmfResultFailed;
    }
    if (result != MmfResultTooSmall || capacity == MmfCapacityCap) return MmfResultFailed;
    capacity = NextMmfCapacity(capacity);
    if (!resize(capacity)) return MmfResultFailed;
  }
}

std::string MmfOutputName(const std::string& inputPath) {
  const size_t folderEnd = inputPath.find_last_of("\\/:");
  const size_t nameStart = folderEnd == std::string::npos ? 0 : folderEnd + 1;
  const size_t dot = inputPath.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return inputPath + ".mmf";
  return inputPath.substr(0, dot) + ".mmf";
}
