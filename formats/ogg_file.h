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
  uint32_t shortBlock = 0;   // of the Vorbis identification header, in samples
  uint32_t longBlock = 0;
  uint64_t lastGranule = 0;  // the last page's granule position: sample frames decoded
};

// The CRC of an Ogg page (polynomial 0x04C11DB7, no reflection, initial value 0) over `bytes`,
// whose CRC field must be zero.
uint32_t OggPageCrc(std::span<const uint8_t> bytes);

// Walks the pages into *info. True for a whole file: pages back to back to the last byte,
// each with capture pattern "OggS", version 0, a right CRC, all of one serial number in
// sequence, the first the stream's beginning; its packets the three Vorbis headers
// (identification: version 0, 1 to 8 channels, a sample rate, block sizes; comment; setup) and
// then at least one audio packet; granule positions that never go back, 0 on the headers'
// pages, and a last one that the audio packets can give; and no more bytes than the length
// allows at 320 kbit/s, with 64 KiB for the headers.
bool ReadOggVorbisFile(std::span<const uint8_t> file, OggFileInfo* info);

// The duration the last granule position gives, in milliseconds (toward zero, never wrapped).
// Vorbis streams start at granule 0 (they carry no pre-skip): the last granule is the length.
uint64_t OggDurationMs(const OggFileInfo& info);

// The whole-file check: the number of pages, or -1.
long CheckOggFile(std::span<const uint8_t> file);
// Its duration in milliseconds, or -1 when the file does not read.
long OggFileDurationMs(std::span<const uint8_t> file);
