#include "import/song_container.h"

#include <cstring>
#include <initializer_list>

namespace {

bool StartsWith(const uint8_t* p, size_t size, const char* text) {
  size_t n = std::strlen(text);
  return size >= n && std::memcmp(p, text, n) == 0;
}

// The ASF header object's identifier.
const uint8_t AsfHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// An MPEG audio frame header (layers I to III) or an ADTS header (layer bits 00).
SongContainer FrameSyncKind(const uint8_t* p, size_t size) {
  if (size < 2 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return SongContainer::Unknown;
  if ((p[1] & 0x06) != 0) return SongContainer::Mp3;
  return (p[1] & 0xF0) == 0xF0 ? SongContainer::Adts : SongContainer::Unknown;
}

SongContainer SniffAfterTags(const uint8_t* p, size_t size) {
  if (size >= 12 && (StartsWith(p, size, "RIFF") || StartsWith(p, size, "RF64")) &&
      std::memcmp(p + 8, "WAVE", 4) == 0)
    return SongContainer::Wav;
  if (size >= 8) {
    for (const char* box : {"ftyp", "moov", "mdat", "wide", "free"})
      if (std::memcmp(p + 4, box, 4) == 0) return SongContainer::Mp4;
  }
  if (size >= 4 && p[0] == 0x1A && p[1] == 0x45 && p[2] == 0xDF && p[3] == 0xA3)
    return SongContainer::Matroska;
  if (StartsWith(p, size, "OggS")) return SongContainer::Ogg;
  if (StartsWith(p, size, "fLaC")) return SongContainer::Flac;
  if (StartsWith(p, size, "caff")) return SongContainer::Caf;
  if (size >= sizeof AsfHeaderGuid && std::memcmp(p, AsfHeaderGuid, sizeof AsfHeaderGuid) == 0)
    return SongContainer::Asf;
  return FrameSyncKind(p, size);
}

}  // namespace

SongContainer SniffSongContainer(const uint8_t* head, size_t size) {
  if (head == nullptr) return SongContainer::Unknown;
  // ID3v2: "ID3", version, flags, then a 28-bit size in four 7-bit bytes (+10 for a footer).
  if (size >= 10 && StartsWith(head, size, "ID3")) {
    for (int i = 6; i < 10; ++i)
      if (head[i] & 0x80) return SongContainer::Mp3;
    size_t tag = 10 + ((size_t{head[6]} << 21) | (size_t{head[7]} << 14) |
                       (size_t{head[8]} << 7) | head[9]);
    if (head[5] & 0x10) tag += 10;
    if (tag >= size) return SongContainer::Mp3;
    SongContainer after = SniffAfterTags(head + tag, size - tag);
    return after == SongContainer::Unknown ? SongContainer::Mp3 : after;
  }
  return SniffAfterTags(head, size);
}
