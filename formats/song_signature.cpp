#include "formats/song_signature.h"

#include <cstring>
#include <initializer_list>

#include "formats/mp3_frame.h"

namespace {

bool StartsWith(const uint8_t* p, size_t size, const char* text) {
  size_t n = std::strlen(text);
  return size >= n && std::memcmp(p, text, n) == 0;
}

// The ASF header object's identifier.
const uint8_t AsfHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

SongContainer SniffAfterTag(const uint8_t* p, size_t size) {
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
  // ADTS: 12 sync bits, then layer bits 00 (the code no MPEG audio layer has).
  if (size >= 2 && p[0] == 0xFF && (p[1] & 0xF6) == 0xF0) return SongContainer::Adts;
  Mp3FrameHeader frame;
  if (size >= 4 && ReadMp3FrameHeader(p, &frame)) return SongContainer::Mp3;
  return SongContainer::Unknown;
}

}  // namespace

SongContainer SniffSongContainer(const uint8_t* head, size_t size) {
  if (head == nullptr) return SongContainer::Unknown;
  if (StartsWith(head, size, "ID3")) {
    const size_t tag = Id3v2TagBytes(head, size);
    if (tag == 0 || tag >= size) return SongContainer::Mp3;
    SongContainer after = SniffAfterTag(head + tag, size - tag);
    return after == SongContainer::Unknown ? SongContainer::Mp3 : after;
  }
  return SniffAfterTag(head, size);
}
