#include "encoders/ringq/qcelp_frame.h"

#include "encoders/ringq/qcelp_tables.h"

namespace {

uint8_t* FieldSlot(QcelpFullRateFrame& f, QcelpField field, int index) {
  switch (field) {
    case FieldLsp: return &f.lsp[index];
    case FieldCodebookSign: return &f.codebookSign[index];
    case FieldCodebookGain: return &f.codebookGain[index];
    case FieldCodebookIndex: return &f.codebookIndex[index];
    case FieldPitchLag: return &f.pitchLag[index];
    case FieldPitchFrac: return &f.pitchFrac[index];
    case FieldPitchGain: return &f.pitchGain[index];
    case FieldReserved: return &f.reserved;
  }
  return &f.reserved;
}

}  // namespace

void PackFullRateFrame(const QcelpFullRateFrame& frame, uint8_t out[FullRatePacketBytes]) {
  QcelpFullRateFrame copy = frame;
  for (size_t i = 0; i < FullRatePacketBytes; ++i) out[i] = 0;
  out[0] = FullRateOctet;
  int bit = 0;  // bit position after the rate octet, MSB first
  for (const QcelpBitRun& run : FullRateBitRuns) {
    const unsigned value = *FieldSlot(copy, run.field, run.index);
    for (int b = run.width - 1; b >= 0; --b) {
      if ((value >> (run.shift + b)) & 1u) out[1 + bit / 8] |= uint8_t(0x80u >> (bit % 8));
      ++bit;
    }
  }
}

bool UnpackFullRateFrame(std::span<const uint8_t> packet, QcelpFullRateFrame& frame) {
  if (packet.size() != FullRatePacketBytes || packet[0] != FullRateOctet) return false;
  frame = QcelpFullRateFrame{};
  int bit = 0;
  for (const QcelpBitRun& run : FullRateBitRuns) {
    unsigned value = 0;
    for (int b = 0; b < run.width; ++b) {
      value = (value << 1) | ((packet[1 + bit / 8] >> (7 - bit % 8)) & 1u);
      ++bit;
    }
    *FieldSlot(frame, run.field, run.index) |= uint8_t(value << run.shift);
  }
  return true;
}

void DecodeLspSums(const uint8_t lsp[5], int sums[QcelpLspOrder]) {
  int sum = 0;
  for (int k = 0; k < 5; ++k) {
    const int index = lsp[k] < LspSplitSizes[k] ? lsp[k] : 0;
    const LspPair& p = LspSplits[k][index];
    sum += p.first;
    sums[2 * k] = sum;
    sum += p.second;
    sums[2 * k + 1] = sum;
  }
}

bool LspSumsAcceptable(const int sums[QcelpLspOrder]) {
  if (sums[9] <= 6601 || sums[9] >= 9849) return false;
  for (int i = 4; i < QcelpLspOrder; ++i)
    if (sums[i] - sums[i - 4] < 932) return false;
  return true;
}

bool FullRateFrameValid(const QcelpFullRateFrame& frame) {
  if (frame.reserved != 0) return false;
  for (int k = 0; k < 5; ++k)
    if (frame.lsp[k] >= LspSplitSizes[k]) return false;
  for (int i = 0; i < QcelpPitchSubframes; ++i) {
    if (frame.pitchLag[i] > 127 || frame.pitchFrac[i] > 1 || frame.pitchGain[i] > 7) return false;
    if (frame.pitchFrac[i] && frame.pitchLag[i] > MaxFractionalPitchLag) return false;
  }
  for (int i = 0; i < QcelpCodebookSubframes; ++i) {
    const int gainLimit = (i % 4 == 3) ? 7 : 15;
    if (frame.codebookIndex[i] > 127 || frame.codebookSign[i] > 1 ||
        frame.codebookGain[i] > gainLimit)
      return false;
  }
  int sums[QcelpLspOrder];
  DecodeLspSums(frame.lsp, sums);
  return LspSumsAcceptable(sums);
}
