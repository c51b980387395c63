#include "import/riff_walk.h"

#include <cstring>

namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Finds the chunk `id` from the header at `offset` on; returns its header offset or npos.
// A chunk whose header does not fit ends the walk.
size_t FindChunk(std::span<const uint8_t> file, size_t offset, const char* id) {
  while (offset <= file.size() && file.size() - offset >= 8) {
    const uint8_t* header = file.data() + offset;
    if (std::memcmp(header, id, 4) == 0) return offset;
    uint32_t size = Le32(header + 4);
    uint64_t next = static_cast<uint64_t>(offset) + 8 + size + (size & 1);  // pad after odd sizes
    if (next > file.size()) break;
    offset = static_cast<size_t>(next);
  }
  return static_cast<size_t>(-1);
}

}  // namespace

WavWalk WalkWavChunks(std::span<const uint8_t> file) {
  WavWalk walk;
  if (file.size() < 12) return walk;
  bool riff = std::memcmp(file.data(), "RIFF", 4) == 0;
  walk.headerValid = riff && std::memcmp(file.data() + 8, "WAVE", 4) == 0;

  size_t fmt = FindChunk(file, riff ? 12 : 8, "fmt ");
  if (fmt == static_cast<size_t>(-1)) {
    walk.result = WavWalkResult::NoFormat;
    return walk;
  }
  uint32_t fmtSize = Le32(file.data() + fmt + 4);
  if (fmtSize < 16 || file.size() - (fmt + 8) < 16) {
    walk.result = WavWalkResult::NoFormat;
    return walk;
  }
  walk.formatOffset = fmt + 8;
  walk.formatSize = fmtSize;
  walk.formatTag = static_cast<uint16_t>(file[fmt + 8] | file[fmt + 9] << 8);

  size_t data = FindChunk(file, fmt, "data");
  if (data != static_cast<size_t>(-1)) {
    walk.dataHeaderOffset = data;
    walk.dataOffset = data + 8;
    uint32_t declared = Le32(file.data() + data + 4);
    size_t available = file.size() - walk.dataOffset;
    walk.dataSize = declared <= available ? declared : static_cast<uint32_t>(available);
  }
  if (walk.formatTag != 1)
    walk.result = WavWalkResult::NotPcm;
  else
    walk.result = walk.dataOffset ? WavWalkResult::Loaded : WavWalkResult::NoData;
  return walk;
}

bool IsWholePcmWav(std::span<const uint8_t> file) {
  const WavWalk walk = WalkWavChunks(file);
  if (!walk.headerValid || walk.result != WavWalkResult::Loaded) return false;
  if (Le32(file.data() + 4) > file.size() - 8) return false;
  if (Le32(file.data() + walk.dataHeaderOffset + 4) != walk.dataSize) return false;  // cut
  const uint8_t* format = file.data() + walk.formatOffset;
  const unsigned channels = format[2] | format[3] << 8;
  const uint32_t rate = Le32(format + 4);
  const uint32_t byteRate = Le32(format + 8);
  const unsigned blockAlign = format[12] | format[13] << 8;
  const unsigned bits = format[14] | format[15] << 8;
  if (channels < 1 || channels > 2 || (bits != 8 && bits != 16) || rate == 0) return false;
  if (blockAlign != channels * bits / 8 || byteRate != rate * blockAlign) return false;
  return walk.dataSize > 0 && walk.dataSize % blockAlign == 0;
}

WavHeaderBytes MakeWavHeader(uint32_t dataBytes) {
  WavHeaderBytes h{};
  uint8_t* p = h.bytes;
  std::memcpy(p, "RIFF", 4);
  PutLe32(p + 4, dataBytes + 36);
  std::memcpy(p + 8, "WAVEfmt ", 8);
  PutLe32(p + 16, 16);
  PutLe16(p + 20, 1);
  PutLe16(p + 22, 2);
  PutLe32(p + 24, 44100);
  PutLe32(p + 28, 176400);
  PutLe16(p + 32, 4);
  PutLe16(p + 34, 16);
  std::memcpy(p + 36, "data", 4);
  PutLe32(p + 40, dataBytes);
  return h;
}
