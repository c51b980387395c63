// The clip resampler over arbitrary song bytes, formats, piece sizes and output room: it must
// never read or write out of bounds, never write more than it promised, and give exactly the
// announced number of frames once all input has arrived with room to spare.
#include <cstddef>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "import/pcm_resampler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  static const uint32_t rates[] = {1000, 7999, 8000, 11025, 22050, 44100, 44101, 48000, 96000};
  static const uint16_t bits[] = {8, 16, 24, 32};
  PcmLayout source{rates[data[0] % 9], static_cast<uint16_t>(1 + data[1] % 2), bits[data[2] % 4]};
  PcmLayout target{data[3] & 1 ? 8000u : 44100u, static_cast<uint16_t>(1 + (data[3] >> 1) % 2), 16};
  const size_t piece = 1 + data[4] * 37;
  const bool announce = data[5] & 1;
  data += 6;
  size -= 6;

  // Each pair's filter is designed once and reset for every input: the design, not the
  // conversion, took most of each run, and Reset gives the state right after Open.
  static std::map<std::array<uint32_t, 5>, PcmResampler> designed;
  const std::array<uint32_t, 5> key{source.rate, source.channels, source.bits, target.rate,
                                    target.channels};
  auto [it, fresh] = designed.try_emplace(key);
  PcmResampler& resampler = it->second;
  if (fresh) resampler.Open(source, target);
  if (!resampler.IsOpen()) return 0;
  resampler.Reset();
  if (announce) resampler.SetTotalSourceBytes(size);
  std::vector<uint8_t> out;
  uint64_t frames = 0;
  for (size_t at = 0; at < size || at == 0; at += piece) {
    const size_t n = at < size ? std::min(piece, size - at) : 0;
    out.assign(resampler.MaxTargetBytes(n), 0);
    const bool last = !announce && at + n >= size;
    const size_t written = resampler.Convert(data + at, n, out.data(), out.size(), last);
    if (written > out.size() || written % target.BlockAlign() != 0) __builtin_trap();
    frames += written / target.BlockAlign();
    if (n == 0) break;
  }
  const uint64_t expected =
      PcmResampler::TargetFrames(size / source.BlockAlign(), source.rate, target.rate);
  if (frames != expected) __builtin_trap();
  return 0;
}
