#include "formats/mp3_frame.h"

#include <cstring>

namespace {

constexpr int32_t BitratesVersion1[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                          112, 128, 160, 192, 224, 256, 320};
constexpr int32_t BitratesVersion2[15] = {0,  8,  16, 24,  32,  40,  48, 56,
                                          64, 80, 96, 112, 128, 144, 160};
constexpr int32_t RatesVersion1[3] = {44100, 48000, 32000};
constexpr int32_t RatesVersion2[3] = {22050, 24000, 16000};
// MPEG-2.5 streams use the version-2 bitrates and frame sizes at half the version-2 rates.
constexpr int32_t RatesVersion25[3] = {11025, 12000, 8000};
constexpr int32_t LayerOfCode[4] = {0, 3, 2, 1};

constexpr int32_t MaxFrameBytes = 2048;

}  // namespace

bool ReadMp3FrameHeader(const uint8_t* b, Mp3FrameHeader* header) {
  if (b[0] != 0xFF || b[1] < 0xE0) return false;
  int bitrateIndex = b[2] >> 4;
  int rateIndex = (b[2] >> 2) & 3;
  if (bitrateIndex == 15 || rateIndex == 3) return false;

  Mp3FrameHeader h;
  h.version = (b[1] & 0x08) ? 1 : 2;
  bool mpeg25 = (b[1] & 0x18) == 0;
  h.layer = LayerOfCode[(b[1] >> 1) & 3];
  h.padding = (b[2] >> 1) & 1;
  h.stereo = ((b[3] >> 6) & 3) == 3 ? 0 : 1;
  if (h.version == 1) {
    h.bitrate = BitratesVersion1[bitrateIndex];
    h.sampleRate = RatesVersion1[rateIndex];
    h.length = h.bitrate * 144000 / h.sampleRate + h.padding;
  } else {
    h.bitrate = BitratesVersion2[bitrateIndex];
    h.sampleRate = mpeg25 ? RatesVersion25[rateIndex] : RatesVersion2[rateIndex];
    h.length = h.bitrate * 72000 / h.sampleRate + h.padding;
  }
  if (h.length <= 1 || h.length > MaxFrameBytes) return false;
  *header = h;
  return true;
}

bool FindMp3Sync(const uint8_t* bytes, size_t size, size_t from, size_t* syncAt,
                 size_t* resumeAt) {
  for (size_t start = from;; ++start) {
    if (size < 4 || start > size - 4) {
      *resumeAt = start;
      return false;
    }
    Mp3FrameHeader first;
    if (!ReadMp3FrameHeader(bytes + start, &first)) continue;
    Mp3FrameHeader current = first;
    size_t at = start;
    int matches = 0;
    while (matches < 3) {
      size_t next = at + static_cast<size_t>(current.length);
      if (next > size - 4) {  // the run goes on past the bytes we have
        *resumeAt = start;
        return false;
      }
      Mp3FrameHeader following;
      if (!ReadMp3FrameHeader(bytes + next, &following) ||
          following.sampleRate != current.sampleRate || following.layer != current.layer)
        break;
      ++matches;
      at = next;
      current = following;
    }
    if (matches == 3) {
      *syncAt = start;
      return true;
    }
  }
}

size_t Id3v2TagBytes(const uint8_t* b, size_t size) {
  // "ID3", major and minor version (never 0xFF), flags, then a 28-bit size in four bytes
  // of seven bits each, counting the bytes after the 10-byte header (and before any footer).
  if (size < 10 || std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF) return 0;
  if ((b[6] | b[7] | b[8] | b[9]) & 0x80) return 0;
  const size_t body = size_t(b[6]) << 21 | size_t(b[7]) << 14 | size_t(b[8]) << 7 | b[9];
  const size_t footer = (b[3] >= 4 && (b[5] & 0x10)) ? 10 : 0;
  return 10 + body + footer;
}

long CheckMp3File(std::span<const uint8_t> file) {
  const uint8_t* bytes = file.data();
  const size_t size = file.size();
  size_t at = Id3v2TagBytes(bytes, size);
  if (at > size) return -1;
  size_t end = size;
  if (end - at >= 128 && std::memcmp(bytes + end - 128, "TAG", 3) == 0) end -= 128;
  long frames = 0;
  Mp3FrameHeader first;
  while (at < end) {
    Mp3FrameHeader h;
    if (end - at < 4 || !ReadMp3FrameHeader(bytes + at, &h) || h.layer != 3) return -1;
    if (frames == 0) first = h;
    if (h.version != first.version || h.sampleRate != first.sampleRate) return -1;
    if (static_cast<size_t>(h.length) > end - at) return -1;
    at += static_cast<size_t>(h.length);
    ++frames;
  }
  return frames > 0 ? frames : -1;
}
