// The WAV reader that ringm.dll and wav2amr.exe share, and the MMF writer behind it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoders/ringm/pcm_wav_reader.h"
#include "encoders/ringm/wsc_cnv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  PcmWav wav;
  if (ReadPcmWav(copy, wav) == PcmWavResult::Ok) {
    if (wav.data.data() < copy.data() || wav.data.data() + wav.data.size() > copy.data() + size)
      __builtin_trap();
    volatile int sink = 0;
    for (size_t i = 0; i < wav.FrameCount(); ++i) sink = sink + PcmSample(wav, i);
  }
  // The whole conversion too, on inputs small enough to keep the runs quick; a narrow
  // search covers the same code.
  if (size <= 16384) {
    std::vector<uint8_t> out((size + 1000) * 4);
    int32_t n = ConvertWavToMmf(copy, nullptr, out.data(), static_cast<uint32_t>(out.size()), 2);
    if (n < -2 || n > static_cast<int32_t>(out.size())) __builtin_trap();
  }
  return 0;
}
