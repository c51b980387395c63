#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/mp3_scanner.h"

// The first byte picks a block size, so block boundaries fall everywhere; the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t block = 1 + data[0] * 13;
  std::vector<uint8_t> file(data + 1, data + size);
  Mp3Scanner s;
  s.Reset(static_cast<uint32_t>(file.size()));
  for (size_t at = 0; at < file.size(); at += block) {
    size_t n = file.size() - at < block ? file.size() - at : block;
    std::vector<uint8_t> piece(file.begin() + at, file.begin() + at + n);  // exact size
    s.Feed(piece.data(), piece.size());
  }
  bool ok = s.Finish();
  const Mp3StreamInfo& info = s.Info();
  if (ok) {
    if (info.frameCount <= 0 || info.sampleRate < 8000 || info.sampleRate > 48000 ||
        s.SkippedBytes() > s.FrameBytes() || s.FirstFrameOffset() >= file.size())
      __builtin_trap();
  } else if (info.sampleRate != 0 || info.frameCount != 0) {
    __builtin_trap();
  }
  // Whole-file feeding must give the same result as block feeding.
  Mp3Scanner whole;
  whole.Reset(static_cast<uint32_t>(file.size()));
  whole.Feed(file.data(), file.size());
  if (whole.Finish() != ok || whole.FrameBytes() != s.FrameBytes() ||
      whole.SkippedBytes() != s.SkippedBytes() || whole.DamageMap() != s.DamageMap())
    __builtin_trap();
  return 0;
}
