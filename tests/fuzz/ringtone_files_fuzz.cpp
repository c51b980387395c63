// Every ringtone format's whole-file check over arbitrary bytes: a file is taken with at
// least one unit and never more units than bytes, or refused with -1.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/ringtone_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  for (int32_t format = 0; format < RingtoneFormatCount; ++format) {
    const long units = RingtoneFormatFactsOf(format)->check(copy);
    if (units < -1 || units > long(size)) __builtin_trap();
  }
  return 0;
}
