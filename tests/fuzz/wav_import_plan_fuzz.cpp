// What the WAV import decides for a file (the format reader, extensible records included), its
// refusal message, and the conversion to 16 bits of whatever it decides to convert.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/pcm16_converter.h"
#include "import/wav_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  WavImportPlan plan = PlanWavImport(copy);
  if (WavRefusalMessage(plan).empty() != (plan.action != WavImportAction::Refuse))
    __builtin_trap();
  if (plan.action != WavImportAction::Convert) return 0;
  if (plan.data.data() < copy.data() || plan.data.data() + plan.data.size() > copy.data() + size)
    __builtin_trap();
  const size_t frames = plan.data.size() / plan.format.blockAlign;
  size_t seen = 0;
  ConvertToPcm16(plan.data, plan.format, 1 << 20,
                 [&](std::span<const int16_t> samples, size_t consumed) {
                   if (consumed > plan.data.size() || samples.size() > 2 * frames) __builtin_trap();
                   seen += samples.size();
                   return true;
                 });
  if (seen > 2 * frames) __builtin_trap();
  return 0;
}
