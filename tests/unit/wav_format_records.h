// "fmt " records as other tools write them, plain and extensible, for the tests of the
// format reader and of the WAV import.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wav_records {

using Bytes = std::vector<uint8_t>;

inline void Le(Bytes& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct Header {
  uint16_t tag = 1;
  uint16_t channels = 2;
  uint32_t rate = 48000;
  uint16_t bits = 16;
  int blockAlign = -1;     // -1: channels x whole bytes
  int subFormat = -1;      // >= 0: an extensible record with this standard sub-format tag
  uint32_t mask = 0;
  bool oddGuid = false;    // a sub-format GUID outside the standard family
  size_t cut = 0;          // bytes cut off the end of the record
};

inline Bytes FmtBody(const Header& h) {
  Bytes f;
  uint16_t align = static_cast<uint16_t>(h.blockAlign >= 0 ? h.blockAlign
                                                           : h.channels * ((h.bits + 7) / 8));
  Le(f, h.subFormat >= 0 ? 0xFFFE : h.tag, 2);
  Le(f, h.channels, 2);
  Le(f, h.rate, 4);
  Le(f, h.rate * align, 4);
  Le(f, align, 2);
  Le(f, h.bits, 2);
  if (h.subFormat >= 0) {
    Le(f, 22, 2);
    Le(f, h.bits, 2);
    Le(f, h.mask, 4);
    Le(f, static_cast<uint32_t>(h.subFormat), 2);
    const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    f.insert(f.end(), tail, tail + 14);
    if (h.oddGuid) f.back() ^= 0xFF;
  } else if (h.tag != 1) {
    Le(f, 0, 2);  // cbSize, as writers put it after non-PCM records
  }
  f.resize(f.size() - h.cut);
  return f;
}

}  // namespace wav_records
