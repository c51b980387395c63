#include "formats/wav_file.h"

#include <cstring>

#include "formats/byte_order.h"
#include "formats/riff_chunks.h"

namespace {

// The standard sub-format GUIDs are {TTTT0000-0000-0010-8000-00AA00389B71}, TTTT the tag; these
// are their bytes after the tag.
constexpr uint8_t SubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Finds the chunk `id` from the header at `offset` on; returns its header offset or npos.
size_t FindChunk(std::span<const uint8_t> file, size_t offset, const char* id) {
  RiffChunkWalk walk(file, offset);
  RiffChunk chunk;
  while (walk.Next(chunk))
    if (chunk.Is(id)) return chunk.offset;
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
  walk.formatTag = Le16(file.data() + fmt + 8);

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

bool ReadWavFormat(std::span<const uint8_t> body, WavFormat* format) {
  *format = WavFormat{};
  if (body.size() < 16) return false;
  const uint8_t* p = body.data();
  WavFormat f;
  f.formatTag = Le16(p);
  f.channels = Le16(p + 2);
  f.sampleRate = Le32(p + 4);
  f.blockAlign = Le16(p + 12);
  f.bitsPerSample = Le16(p + 14);
  f.codec = f.formatTag;
  if (f.formatTag == WavTagExtensible) {
    // cbSize at 16, valid bits at 18, channel mask at 20, sub-format GUID at 24.
    if (body.size() < 40) return false;
    f.extensionSize = Le16(p + 16);
    f.channelMask = Le32(p + 20);
    bool standard = std::memcmp(p + 26, SubFormatTail, sizeof SubFormatTail) == 0;
    f.codec = standard ? Le16(p + 24) : 0;
  }
  f.encoding = f.codec == WavTagPcm     ? WavEncoding::Integer
               : f.codec == WavTagFloat ? WavEncoding::Float
                                        : WavEncoding::Compressed;
  *format = f;
  return true;
}

long CheckWavFile(std::span<const uint8_t> file) {
  const WavWalk walk = WalkWavChunks(file);
  if (!walk.headerValid || walk.result != WavWalkResult::Loaded) return -1;
  if (Le32(file.data() + 4) > file.size() - 8) return -1;
  if (Le32(file.data() + walk.dataHeaderOffset + 4) != walk.dataSize) return -1;  // cut
  const uint8_t* format = file.data() + walk.formatOffset;
  const unsigned channels = Le16(format + 2);
  const uint32_t rate = Le32(format + 4);
  const uint32_t byteRate = Le32(format + 8);
  const unsigned blockAlign = Le16(format + 12);
  const unsigned bits = Le16(format + 14);
  if (channels < 1 || channels > 2 || (bits != 8 && bits != 16) || rate == 0) return -1;
  if (blockAlign != channels * bits / 8 || byteRate != rate * blockAlign) return -1;
  if (walk.dataSize == 0 || walk.dataSize % blockAlign != 0) return -1;
  return static_cast<long>(walk.dataSize / blockAlign);
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
