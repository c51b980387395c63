// ringm.dll: the MMF writer that the program loads at run time. Thin glue over
// ConvertWavToMmf; linked with --kill-at so the stdcall export keeps its plain name.
#include <cstdint>
#include <span>

#include "encoders/ringm/wsc_cnv.h"

extern "C" __declspec(dllexport) int32_t __stdcall WscCnv(const uint8_t* input,
                                                          uint32_t inputLength,
                                                          const WscCnvOptions* options,
                                                          uint8_t* output,
                                                          uint32_t outputCapacity,
                                                          uint8_t* workArea,
                                                          uint32_t optionWord) {
  (void)workArea;
  (void)optionWord;
  if (!input || inputLength == 0) return WscCnvFailed;
  try {
    return ConvertWavToMmf(std::span<const uint8_t>(input, inputLength), options, output,
                           outputCapacity);
  } catch (...) {
    return WscCnvFailed;  // no exception leaves the library
  }
}
