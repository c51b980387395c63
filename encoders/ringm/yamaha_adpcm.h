// 4-bit Yamaha ADPCM, the sample coding of SMAF (MMF) wave tracks: one nibble per sample,
// the first sample of each byte in its low nibble. Both ends start from predictor 0 and
// step 127.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

struct YamahaAdpcmState {
  int32_t predictor = 0;
  int32_t step = 127;
};

// One decoder step, with the arithmetic players use (the product is divided with
// truncation toward zero, the predictor clipped to 16 bits, the step kept in 127..24576).
int16_t YamahaAdpcmDecodeNibble(YamahaAdpcmState& state, uint8_t nibble);

// Bytes that hold `sampleCount` nibbles: ceil(sampleCount / 2).
size_t YamahaAdpcmBytes(size_t sampleCount);

inline constexpr int DefaultAdpcmSearchWidth = 16;

// Encodes `samples` into out[0 .. YamahaAdpcmBytes(n)); an odd count leaves the last high
// nibble for a copy of the last sample. `searchWidth` is how many candidate decoder states
// the trellis search keeps per sample: 1 chooses each nibble on its own (the plain
// encoder), larger widths look ahead and lower the error. Returns false when `out` is short.
bool YamahaAdpcmEncode(std::span<const int16_t> samples, std::span<uint8_t> out,
                       int searchWidth = DefaultAdpcmSearchWidth);

// Decodes up to `sampleCount` nibbles of `in` (low nibble first) into `out`; returns how
// many it decoded (fewer when `in` holds fewer).
size_t YamahaAdpcmDecode(std::span<const uint8_t> in, size_t sampleCount, int16_t* out);
