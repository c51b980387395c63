// The iPhone ringtone: an MPEG-4 file of major brand "M4A " holding one AAC-LC audio track.
// The reader walks the boxes, every size checked against the bytes around it.
#pragma once
#include <cstdint>
#include <span>

struct M4rFileInfo {
  uint32_t majorBrand = 0;    // the ftyp's, big-endian four characters
  uint32_t timescale = 0;     // the movie header's
  uint64_t duration = 0;      // the movie header's, in timescale units
  uint32_t mediaTimescale = 0;  // the audio track's media header's
  uint64_t mediaDuration = 0;   // the media header's, in mediaTimescale units
  uint64_t sampleTicks = 0;     // the samples' durations (stts) summed, in mediaTimescale units
  uint32_t audioTracks = 0;   // tracks whose handler is "soun"
  uint32_t audioObjectType = 0;  // of the audio track's AudioSpecificConfig (2: AAC-LC)
  uint16_t channels = 0;      // of the audio track's sample entry
  uint32_t sampleRate = 0;    // of the audio track's sample entry, in Hz
  uint32_t sampleCount = 0;   // AAC frames in the audio track's sample size table
};

inline constexpr uint32_t M4aBrand = 0x4D344120;  // "M4A "
inline constexpr uint32_t AacLowComplexity = 2;

// Walks the file into *info. True for a whole file of brand "M4A ": the ftyp box first, one
// movie box with its header, exactly one audio track of AAC-LC (not HE-AAC, however it is
// signalled) with at least one sample, one media data box, and every box and table inside the
// file; the samples' sizes, chunks and offsets cover the media data exactly; the samples'
// durations, the media header and the movie header give one length (within two frames); and
// the file holds no more bytes than that length allows at 320 kbit/s, with 64 KiB for boxes.
bool ReadM4rFile(std::span<const uint8_t> file, M4rFileInfo* info);

// `ticks` of `timescale` in milliseconds (toward zero, at most UINT64_MAX, never wrapped).
uint64_t M4rDurationMs(uint64_t ticks, uint32_t timescale);
// The audio's length in milliseconds: the samples' durations over the media's timescale.
uint64_t M4rDurationMs(const M4rFileInfo& info);

// The whole-file check: the AAC frames of the audio track, or -1.
long CheckM4rFile(std::span<const uint8_t> file);
// Its duration in milliseconds, or -1 when the file does not read.
long M4rFileDurationMs(std::span<const uint8_t> file);
