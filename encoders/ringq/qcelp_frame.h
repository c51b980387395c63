// A full-rate QCELP-13K frame: its parameters, its 35-byte packet (rate octet included) and
// the rules by which a decoder accepts it rather than treating it as an erasure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

constexpr int QcelpFrameSamples = 160;
constexpr int QcelpPitchSubframes = 4;      // 40 samples each
constexpr int QcelpCodebookSubframes = 16;  // 10 samples each
constexpr int QcelpLspOrder = 10;

// Packet sizes with the rate octet, and the rate octets themselves.
constexpr size_t FullRatePacketBytes = 35;
constexpr size_t EighthRatePacketBytes = 4;
constexpr uint8_t FullRateOctet = 4;
constexpr uint8_t EighthRateOctet = 1;

// The highest coded pitch lag that may carry the half-sample flag.
constexpr int MaxFractionalPitchLag = 123;

struct QcelpFullRateFrame {
  uint8_t lsp[5] = {};           // indices into the five split quantisers
  uint8_t pitchLag[4] = {};      // 0 = no pitch prediction, else lag - 16
  uint8_t pitchFrac[4] = {};     // 1 = lag plus one half
  uint8_t pitchGain[4] = {};     // gain = (code + 1) / 4
  uint8_t codebookIndex[16] = {};
  uint8_t codebookSign[16] = {};
  uint8_t codebookGain[16] = {};  // 4 bits; 3 bits (a step above the prediction) for every 4th
  uint8_t reserved = 0;
};

// An eighth-rate frame, for silence: comfort noise from a seed, with a coarse gain and one
// bit per LSP saying whether it sits above or below its prediction.
struct QcelpEighthRateFrame {
  uint16_t lspUp = 0;       // bit i set: LSP i above its prediction
  uint8_t codebookGain = 0;  // 2 bits, a step above the predicted gain
  uint8_t seed = 0;          // 4 bits mixed into the noise seed
  uint8_t reserved = 0;      // 4 bits, zero
};

// Writes the rate octet and the 266 frame bits (zero-padded) into `out`.
void PackFullRateFrame(const QcelpFullRateFrame& frame, uint8_t out[FullRatePacketBytes]);

// Reads a packet of FullRatePacketBytes whose first byte is the rate octet. False when the
// packet has the wrong size or rate octet.
bool UnpackFullRateFrame(std::span<const uint8_t> packet, QcelpFullRateFrame& frame);

// Eighth-rate packets: the rate octet and 20 bits, zero-padded to EighthRatePacketBytes.
void PackEighthRateFrame(const QcelpEighthRateFrame& frame, uint8_t out[EighthRatePacketBytes]);
bool UnpackEighthRateFrame(std::span<const uint8_t> packet, QcelpEighthRateFrame& frame);

// The first 16 frame bits of an eighth-rate packet, which also seed the decoder's noise.
// A decoder treats 0xFFFF as an erasure.
uint16_t EighthRateNoiseSeed(const QcelpEighthRateFrame& frame);

// A decoder's rules for an eighth-rate frame: reserved bits zero, field values in range and
// not all of the first 16 bits set.
bool EighthRateFrameValid(const QcelpEighthRateFrame& frame);

// Cumulative sums of the quantised LSP increments, in 1/10000 of the normalised frequency.
void DecodeLspSums(const uint8_t lsp[5], int sums[QcelpLspOrder]);

// The decoder's acceptance rule for the quantised LSPs of a full-rate frame (highest LSP
// inside (0.66, 0.985), every LSP at least 0.0931 above the fourth below it), with a safety
// margin of one unit so that no rounding in a decoder can turn it round.
bool LspSumsAcceptable(const int sums[QcelpLspOrder]);

// All the decoder's rules for a full-rate frame: reserved bits zero, the half-sample flag only
// on lags below 124 (coded), field values in range, and acceptable LSPs.
bool FullRateFrameValid(const QcelpFullRateFrame& frame);
