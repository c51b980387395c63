// The Android ringtone: Ogg Vorbis, one logical stream of Ogg pages whose first packet is the
// Vorbis identification header.
#pragma once
#include <cstdint>
#include <span>

struct OggFileInfo {
  uint32_t pages = 0;
  uint32_t serial = 0;       // the stream's serial number
  uint8_t channels = 0;      // of the Vorbis identification header
  uint32_t sampleRate = 0;   // of the Vorbis identification header
  uint64_t lastGranule = 0;  // the last page's granule position: sample frames decoded
};

// The CRC of an Ogg page (polynomial 0x04C11DB7, no reflection, initial value 0) over `bytes`,
// whose CRC field must be zero.
uint32_t OggPageCrc(std::span<const uint8_t> bytes);

// Walks the pages into *info. True for a whole file: pages back to back to the last byte,
// each with capture pattern "OggS", version 0, a right CRC, all of one serial number in
// sequence, the first the stream's beginning and its first packet a Vorbis identification
// header (version 0, 1 to 8 channels, a sample rate).
bool ReadOggVorbisFile(std::span<const uint8_t> file, OggFileInfo* info);

// The duration the last granule position gives, in milliseconds (toward zero).
uint64_t OggDurationMs(const OggFileInfo& info);

// The whole-file check: the number of pages, or -1.
long CheckOggFile(std::span<const uint8_t> file);
// Its duration in milliseconds, or -1 when the file does not read.
long OggFileDurationMs(std::span<const uint8_t> file);
