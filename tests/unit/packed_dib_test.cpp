// Packed pictures as the skin draws them from the resources: the header checks that keep every
// read inside the bytes, the row order, and the widening to 32-bit pixels.
#include <gtest/gtest.h>

#include <cstring>

#include "app/packed_dib.h"

namespace {

// A packed picture: 40-byte header, `tableBytes` of colour table, then rows of `stride` bytes
// whose bytes count up from 1.
struct Builder {
  int32_t width = 3, height = 2;
  uint16_t planes = 1, bitCount = 24;
  uint32_t compression = 0, coloursUsed = 0;
  uint32_t headerBytes = 40;
  size_t tableBytes = 0;
  long extraBytes = 0;  // added to (or, negative, taken from) the end

  std::vector<uint8_t> Bytes() const {
    size_t stride = ((static_cast<size_t>(width < 0 ? 0 : width) * bitCount + 31) / 32) * 4;
    size_t rows = static_cast<size_t>(height < 0 ? -height : height);
    std::vector<uint8_t> b(headerBytes + tableBytes + stride * rows);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); };
    put32(0, headerBytes);
    put32(4, static_cast<uint32_t>(width));
    put32(8, static_cast<uint32_t>(height));
    put16(12, planes);
    put16(14, bitCount);
    put32(16, compression);
    put32(32, coloursUsed);
    for (size_t i = headerBytes + tableBytes; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i);
    b.resize(static_cast<size_t>(static_cast<long>(b.size()) + extraBytes));
    return b;
  }
};

TEST(PackedDib, ReadsSizesDepthsAndWhereTheRowsStart) {
  PackedDib dib;
  Builder plain;
  ASSERT_TRUE(ReadPackedDib(plain.Bytes(), dib));
  EXPECT_EQ(dib.width, 3);
  EXPECT_EQ(dib.height, 2);
  EXPECT_TRUE(dib.bottomUp);
  EXPECT_EQ(dib.stride, 12u);  // 9 bytes padded to 4
  EXPECT_EQ(dib.pixelOffset, 40u);

  Builder topDown;
  topDown.height = -2;
  ASSERT_TRUE(ReadPackedDib(topDown.Bytes(), dib));
  EXPECT_EQ(dib.height, 2);
  EXPECT_FALSE(dib.bottomUp);

  // Colour tables: the full one for the depth, or as many entries as the header says.
  Builder eightBit;
  eightBit.bitCount = 8, eightBit.tableBytes = 1024;
  ASSERT_TRUE(ReadPackedDib(eightBit.Bytes(), dib));
  EXPECT_EQ(dib.pixelOffset, 40u + 1024u);
  EXPECT_EQ(dib.stride, 4u);
  Builder fewColours = eightBit;
  fewColours.coloursUsed = 3, fewColours.tableBytes = 12;
  ASSERT_TRUE(ReadPackedDib(fewColours.Bytes(), dib));
  EXPECT_EQ(dib.pixelOffset, 52u);
  Builder oneBit;
  oneBit.bitCount = 1, oneBit.width = 33, oneBit.tableBytes = 8;
  ASSERT_TRUE(ReadPackedDib(oneBit.Bytes(), dib));
  EXPECT_EQ(dib.stride, 8u);

  // Colour masks follow a plain header; a longer header holds them itself.
  Builder masks;
  masks.bitCount = 16, masks.compression = 3, masks.tableBytes = 12;
  ASSERT_TRUE(ReadPackedDib(masks.Bytes(), dib));
  EXPECT_EQ(dib.pixelOffset, 52u);
  Builder longHeader = masks;
  longHeader.headerBytes = 108, longHeader.tableBytes = 0;
  ASSERT_TRUE(ReadPackedDib(longHeader.Bytes(), dib));
  EXPECT_EQ(dib.pixelOffset, 108u);
}

TEST(PackedDib, RefusesHeadersThatWouldReadOutsideTheBytes) {
  PackedDib dib;
  auto refused = [&](Builder b) { return !ReadPackedDib(b.Bytes(), dib); };
  Builder b;
  EXPECT_TRUE(refused([&] { auto c = b; c.extraBytes = -1; return c; }()))
      << "the last row one byte short";
  EXPECT_TRUE(refused([&] { auto c = b; c.headerBytes = 12; return c; }())) << "old core header";
  EXPECT_TRUE(refused([&] { auto c = b; c.width = 0; return c; }()));
  EXPECT_TRUE(refused([&] { auto c = b; c.width = -3; return c; }()));
  EXPECT_TRUE(refused([&] { auto c = b; c.height = 0; return c; }()));
  EXPECT_TRUE(refused([&] { auto c = b; c.planes = 2; return c; }()));
  EXPECT_TRUE(refused([&] { auto c = b; c.bitCount = 2; return c; }()));
  EXPECT_TRUE(refused([&] { auto c = b; c.compression = 1; return c; }())) << "run-length";
  EXPECT_TRUE(refused([&] { auto c = b; c.compression = 3; return c; }()))
      << "colour masks are for 16 and 32 bits";
  EXPECT_TRUE(refused([&] { auto c = b; c.bitCount = 8; c.coloursUsed = 300; return c; }()));
  EXPECT_TRUE(refused([&] { auto c = b; c.bitCount = 8; return c; }()))
      << "no room for the colour table";

  std::vector<uint8_t> longHeader = b.Bytes();
  uint32_t headerBytes = static_cast<uint32_t>(longHeader.size()) + 1;
  std::memcpy(&longHeader[0], &headerBytes, 4);
  EXPECT_FALSE(ReadPackedDib(longHeader, dib)) << "header longer than the bytes";

  // Sizes whose rows would overflow a size computation are refused before any arithmetic.
  std::vector<uint8_t> huge = b.Bytes();
  int32_t big = 0x7fffffff, most = -0x7fffffff - 1;
  std::memcpy(&huge[4], &big, 4);
  EXPECT_FALSE(ReadPackedDib(huge, dib));
  std::memcpy(&huge[4], &most, 4);
  EXPECT_FALSE(ReadPackedDib(huge, dib));
  Builder tall = b;
  std::vector<uint8_t> bytes = tall.Bytes();
  std::memcpy(&bytes[8], &most, 4);
  EXPECT_FALSE(ReadPackedDib(bytes, dib));

  std::vector<uint8_t> whole = b.Bytes();
  for (size_t size = 0; size < 40; ++size)
    EXPECT_FALSE(ReadPackedDib(std::span<const uint8_t>(whole).first(size), dib)) << size;
}

// A .bmp file of a packed picture whose rows follow right after its header.
std::vector<uint8_t> BmpFile(const std::vector<uint8_t>& packed, uint32_t rowsAt) {
  std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint32_t offset = 14 + rowsAt;
  std::memcpy(&file[10], &offset, 4);
  file.insert(file.end(), packed.begin(), packed.end());
  return file;
}

TEST(PackedDib, FileRowsComeTopFirstWhateverTheStoredOrder) {
  Builder bottomUp;
  std::vector<uint8_t> bytes = bottomUp.Bytes();
  std::vector<uint8_t> rows;
  PackedDib dib;
  ASSERT_TRUE(BmpFileTopDownRows(BmpFile(bytes, 40), rows, dib));
  ASSERT_EQ(rows.size(), 24u);
  // The picture's top row is stored last.
  EXPECT_EQ(rows[0], bytes[40 + 12]);
  EXPECT_EQ(rows[12], bytes[40]);

  Builder topDown;
  topDown.height = -2;
  bytes = topDown.Bytes();
  ASSERT_TRUE(BmpFileTopDownRows(BmpFile(bytes, 40), rows, dib));
  EXPECT_EQ(rows[0], bytes[40]);
  EXPECT_EQ(rows[12], bytes[52]);

  Builder eightBit;
  eightBit.bitCount = 8, eightBit.tableBytes = 1024;
  EXPECT_FALSE(BmpFileTopDownRows(BmpFile(eightBit.Bytes(), 40 + 1024), rows, dib));
  EXPECT_TRUE(rows.empty());
}

TEST(PackedDib, WidensTwentyFourBitsToThirtyTwoInStoredOrder) {
  Builder b;
  std::vector<uint8_t> bytes = b.Bytes();
  std::vector<uint32_t> wide;
  PackedDib dib;
  ASSERT_TRUE(WidenTo32Bits(bytes, dib, wide));
  ASSERT_EQ(wide.size(), 6u);
  // Pixel (x, stored row r) is blue, green, red at 40 + 12 r + 3 x; the padding is dropped.
  for (int r = 0; r < 2; ++r)
    for (int x = 0; x < 3; ++x) {
      size_t at = 40 + 12 * r + 3 * x;
      uint32_t expected = bytes[at] | bytes[at + 1] << 8 | static_cast<uint32_t>(bytes[at + 2]) << 16;
      EXPECT_EQ(wide[r * 3 + x], expected) << x << "," << r;
    }

  Builder sixteen;
  sixteen.bitCount = 16;
  EXPECT_FALSE(WidenTo32Bits(sixteen.Bytes(), dib, wide));
  EXPECT_TRUE(wide.empty());
}

TEST(PackedDib, BmpFilesAreReadFromTheOffsetTheirHeaderGives) {
  Builder b;
  std::vector<uint8_t> packed = b.Bytes();
  // A gap of two bytes between the header and the rows.
  std::vector<uint8_t> gapped(packed.begin(), packed.begin() + 40);
  gapped.push_back(0xEE), gapped.push_back(0xEE);
  gapped.insert(gapped.end(), packed.begin() + 40, packed.end());
  std::vector<uint8_t> file = BmpFile(gapped, 42);
  std::vector<uint8_t> rows;
  PackedDib dib;
  ASSERT_TRUE(BmpFileTopDownRows(file, rows, dib));
  EXPECT_EQ(rows[12], packed[40]);

  std::vector<uint8_t> wrongMagic = file;
  wrongMagic[0] = 'X';
  EXPECT_FALSE(BmpFileTopDownRows(wrongMagic, rows, dib));
  uint32_t tooFar = static_cast<uint32_t>(file.size());
  std::vector<uint8_t> offsetPastEnd = file;
  std::memcpy(&offsetPastEnd[10], &tooFar, 4);
  EXPECT_FALSE(BmpFileTopDownRows(offsetPastEnd, rows, dib));
  uint32_t insideHeader = 20;
  std::vector<uint8_t> offsetInHeader = file;
  std::memcpy(&offsetInHeader[10], &insideHeader, 4);
  EXPECT_FALSE(BmpFileTopDownRows(offsetInHeader, rows, dib));
}

}  // namespace
