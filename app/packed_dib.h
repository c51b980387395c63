// Pictures as the program's resources hold them: a packed device-independent bitmap, that is a
// 40-byte (or longer) info header, the colour table or colour masks, then the pixel rows. The
// skin draws straight from these bytes, so the header is checked here before anything reads
// past it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct PackedDib {
  int width = 0;
  int height = 0;         // always positive; `bottomUp` tells the order of the rows
  bool bottomUp = true;   // the last row of the picture comes first
  int bitCount = 0;       // 1, 4, 8, 16, 24 or 32
  size_t pixelOffset = 0; // where the first stored row starts: header and colour table
  size_t stride = 0;      // bytes per stored row (rows are padded to 4 bytes)
};

// Reads the header of an uncompressed packed picture. False when the bytes are too short for
// the header, its colour table or its rows, when the picture is compressed, or when a size is
// zero, negative or larger than 32767.
bool ReadPackedDib(std::span<const uint8_t> bytes, PackedDib& dib);

// The pixels of a 24-bit packed picture widened to 32 bits (blue, green, red, then 0 in the
// top byte), rows in the stored order without padding. The screens of today hold pixels that
// way, so such rows are drawn without a conversion per pixel. False, with `pixels` empty, for
// any other depth or when the header does not hold.
bool WidenTo32Bits(std::span<const uint8_t> bytes, PackedDib& dib, std::vector<uint32_t>& pixels);

// The pixels of a 24-bit .bmp file (a 14-byte file header, whose pixel offset it gives, before
// the packed picture) as rows of blue, green, red, top row first and `stride` (the stored
// stride) bytes apart. False, with `bgr` empty, for any other depth or when a header does not
// hold.
bool BmpFileTopDownRows(std::span<const uint8_t> file, std::vector<uint8_t>& bgr,
                        PackedDib& dib);
