// Fuzz target: ringq's WAV reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoders/ringq/pcm_wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  std::vector<int16_t> samples;
  const PcmWavStatus status = ReadPcmWav(copy, samples);
  if (status == PcmWavStatus::Ok && (samples.empty() || samples.size() * 2 > size))
    __builtin_trap();
  if (status != PcmWavStatus::Ok && !samples.empty()) __builtin_trap();
  return 0;
}
