#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/packed_dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // exact size: reads past the end are caught
  PackedDib dib;
  if (ReadPackedDib(copy, dib)) {
    // Everything a draw reads lies inside: the rows after the header and colour table.
    if (dib.pixelOffset + dib.stride * static_cast<size_t>(dib.height) > size) __builtin_trap();
    if (dib.stride < (static_cast<size_t>(dib.width) * dib.bitCount + 7) / 8) __builtin_trap();
  }
  std::vector<uint8_t> rows;
  std::vector<uint32_t> wide;
  if (WidenTo32Bits(copy, dib, wide) && wide.size() != static_cast<size_t>(dib.width) * dib.height)
    __builtin_trap();
  if (BmpFileTopDownRows(copy, rows, dib) && rows.size() != dib.stride * dib.height)
    __builtin_trap();
  return 0;
}
