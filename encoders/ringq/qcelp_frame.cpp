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

namespace {

// The 20 bits of an eighth-rate frame, most significant first: seed bit 3, LSPs 0-2, seed
// bit 2, LSPs 3-5, seed bit 1, LSPs 6-8, seed bit 0, LSP 9, the gain, the reserved bits.
uint32_t EighthRateBits(const QcelpEighthRateFrame& f) {
  auto lsp = [&](int i) { return uint32_t((f.lspUp >> i) & 1u); };
  auto seed = [&](int b) { return uint32_t((f.seed >> b) & 1u); };
  uint32_t v = 0;
  auto put = [&](uint32_t bit) { v = (v << 1) | bit; };
  put(seed(3));
  for (int i = 0; i < 3; ++i) put(lsp(i));
  put(seed(2));
  for (int i = 3; i < 6; ++i) put(lsp(i));
  put(seed(1));
  for (int i = 6; i < 9; ++i) put(lsp(i));
  put(seed(0));
  put(lsp(9));
  v = (v << 2) | (f.codebookGain & 3u);
  v = (v << 4) | (f.reserved & 15u);
  return v;
}

}  // namespace

void PackEighthRateFrame(const QcelpEighthRateFrame& frame, uint8_t out[EighthRatePacketBytes]) {
  const uint32_t v = EighthRateBits(frame) << 4;  // 20 bits, then 4 zero bits
  out[0] = EighthRateOctet;
  out[1] = uint8_t(v >> 16);
  out[2] = uint8_t(v >> 8);
  out[3] = uint8_t(v);
}

bool UnpackEighthRateFrame(std::span<const uint8_t> packet, QcelpEighthRateFrame& frame) {
  if (packet.size() != EighthRatePacketBytes || packet[0] != EighthRateOctet) return false;
  const uint32_t v = (uint32_t(packet[1]) << 16 | uint32_t(packet[2]) << 8 | packet[3]) >> 4;
  frame = QcelpEighthRateFrame{};
  frame.reserved = uint8_t(v & 15u);
  frame.codebookGain = uint8_t((v >> 4) & 3u);
  const int bitsFromTop[10] = {1, 2, 3, 5, 6, 7, 9, 10, 11, 13};  // of the 20
  for (int i = 0; i < 10; ++i)
    if ((v >> (19 - bitsFromTop[i])) & 1u) frame.lspUp = uint16_t(frame.lspUp | (1u << i));
  const int seedFromTop[4] = {12, 8, 4, 0};  // seed bits 0..3
  for (int b = 0; b < 4; ++b)
    if ((v >> (19 - seedFromTop[b])) & 1u) frame.seed = uint8_t(frame.seed | (1u << b));
  return true;
}

uint16_t EighthRateNoiseSeed(const QcelpEighthRateFrame& frame) {
  return uint16_t(EighthRateBits(frame) >> 4);
}

bool EighthRateFrameValid(const QcelpEighthRateFrame& frame) {
  return frame.reserved == 0 && frame.codebookGain < 4 && frame.seed < 16 &&
         frame.lspUp < 1024 && EighthRateNoiseSeed(frame) != 0xFFFF;
}
