#include "app/packed_dib.h"

#include <algorithm>

#include "formats/byte_order.h"

namespace {

constexpr size_t InfoHeaderBytes = 40;
constexpr int MaxSide = 32767;
constexpr uint32_t Uncompressed = 0, ColourMasks = 3;


}  // namespace

bool ReadPackedDib(std::span<const uint8_t> bytes, PackedDib& dib) {
  dib = {};
  if (bytes.size() < InfoHeaderBytes) return false;
  uint32_t headerBytes = Le32(bytes.data());
  if (headerBytes < InfoHeaderBytes || headerBytes > bytes.size()) return false;
  int32_t width = static_cast<int32_t>(Le32(bytes.data() + 4));
  int32_t height = static_cast<int32_t>(Le32(bytes.data() + 8));
  uint16_t planes = Le16(bytes.data() + 12);
  uint16_t bitCount = Le16(bytes.data() + 14);
  uint32_t compression = Le32(bytes.data() + 16);
  uint32_t coloursUsed = Le32(bytes.data() + 32);
  if (planes != 1 || width <= 0 || width > MaxSide || height == 0 || height < -MaxSide ||
      height > MaxSide)
    return false;

  size_t tableBytes = 0;
  switch (bitCount) {
    case 1: case 4: case 8:
      if (compression != Uncompressed) return false;
      if (coloursUsed > (1u << bitCount)) return false;
      tableBytes = 4 * static_cast<size_t>(coloursUsed ? coloursUsed : 1u << bitCount);
      break;
    case 16: case 24: case 32:
      if (compression == ColourMasks && bitCount != 24) {
        // The three masks follow a plain info header; longer headers hold them.
        if (headerBytes == InfoHeaderBytes) tableBytes = 12;
      } else if (compression != Uncompressed) {
        return false;
      }
      if (coloursUsed > 256) return false;
      tableBytes += 4 * static_cast<size_t>(coloursUsed);
      break;
    default:
      return false;
  }

  size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
  size_t rows = static_cast<size_t>(height < 0 ? -height : height);
  size_t pixelOffset = headerBytes + tableBytes;
  if (pixelOffset > bytes.size() || (bytes.size() - pixelOffset) / stride < rows) return false;
  dib.width = width;
  dib.height = static_cast<int>(rows);
  dib.bottomUp = height > 0;
  dib.bitCount = bitCount;
  dib.pixelOffset = pixelOffset;
  dib.stride = stride;
  return true;
}

bool WidenTo32Bits(std::span<const uint8_t> bytes, PackedDib& dib,
                   std::vector<uint32_t>& pixels) {
  pixels.clear();
  if (!ReadPackedDib(bytes, dib) || dib.bitCount != 24) return false;
  pixels.resize(static_cast<size_t>(dib.width) * dib.height);
  uint32_t* out = pixels.data();
  for (int y = 0; y < dib.height; ++y) {
    const uint8_t* in = bytes.data() + dib.pixelOffset + dib.stride * y;
    for (int x = 0; x < dib.width; ++x, in += 3)
      *out++ = Le24(in);
  }
  return true;
}

bool BmpFileTopDownRows(std::span<const uint8_t> file, std::vector<uint8_t>& bgr,
                        PackedDib& dib) {
  bgr.clear();
  constexpr size_t FileHeaderBytes = 14;
  if (file.size() < FileHeaderBytes || file[0] != 'B' || file[1] != 'M') return false;
  std::span<const uint8_t> packed = file.subspan(FileHeaderBytes);
  if (!ReadPackedDib(packed, dib) || dib.bitCount != 24) return false;
  // The file names where its rows start; it may leave a gap after the colour table.
  size_t offset = Le32(file.data() + 10);
  if (offset < FileHeaderBytes + dib.pixelOffset || offset > file.size() ||
      (file.size() - offset) / dib.stride < static_cast<size_t>(dib.height))
    return false;
  bgr.resize(dib.stride * dib.height);
  for (int y = 0; y < dib.height; ++y) {
    size_t stored = dib.stride * (dib.bottomUp ? dib.height - 1 - y : y);
    std::copy_n(file.data() + offset + stored, dib.stride, bgr.data() + dib.stride * y);
  }
  return true;
}
