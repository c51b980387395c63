// Constant tables of the QCELP-13K codec (TIA/EIA IS-733): the five split vector quantisers
// of the line spectral pairs, the full-rate circular codebook, the codebook gain table and
// the bit layout of a full-rate packet.
#pragma once

#include <cstdint>

// One entry of an LSP split quantiser: two successive LSP increments in units of 1/10000
// of the normalised frequency (1.0 = half the sampling rate).
struct LspPair {
  int16_t first;
  int16_t second;
};

extern const LspPair LspSplit1[64];
extern const LspPair LspSplit2[128];
extern const LspPair LspSplit3[128];
extern const LspPair LspSplit4[64];
extern const LspPair LspSplit5[64];

// The five quantisers in transmission order with their sizes.
extern const LspPair* const LspSplits[5];
extern const int LspSplitSizes[5];

// Linear codebook gain magnitude for the log-gain index 0..60, in eighths.
extern const uint16_t CodebookGainEighths[61];

// The 128-entry circular codebook of full rate, in hundredths.
extern const int16_t FullRateCodebook[128];

// Half of the symmetric 8-tap interpolator that the pitch filter uses for a lag of one half
// more than the coded lag.
extern const float HalfLagTaps[4];

// The fields of an unpacked frame.
enum QcelpField : uint8_t {
  FieldLsp,
  FieldCodebookSign,
  FieldCodebookGain,
  FieldCodebookIndex,
  FieldPitchLag,
  FieldPitchFrac,
  FieldPitchGain,
  FieldReserved,
};

// One run of bits of a packet: `width` bits of field[index], starting at bit `shift` of the
// value, sent most significant bit first.
struct QcelpBitRun {
  QcelpField field;
  uint8_t index;
  uint8_t shift;
  uint8_t width;
};

// The 266 bits of a full-rate frame in transmission order.
constexpr int FullRateBitRunCount = 78;
extern const QcelpBitRun FullRateBitRuns[FullRateBitRunCount];
