// d.wav and its read-only memory view: what the strip draws, the preview plays and the
// conversion cuts from. One at a time; its loaded flag is sessionState.fileLoaded.
#pragma once
#include <windows.h>

#include <cstdint>

#include "formats/byte_order.h"

struct WorkingAudio {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  const uint8_t* base = nullptr;
  uint32_t fileBytes = 0;
  const uint8_t* chunkCursor = nullptr;  // the "data" chunk header after a successful load
  const uint8_t* formatBlock = nullptr;  // body of the "fmt " chunk
  const uint8_t* samples = nullptr;      // body of the "data" chunk
  uint32_t dataSize = 0;                 // sample bytes, bounded by the mapped file
  uint32_t loads = 0;  // songs loaded so far, kept across releases: each load a new number

  uint16_t FormatTag() const { return Read16(0); }
  uint16_t Channels() const { return Read16(2); }
  uint32_t SampleRate() const { return Read32(4); }
  uint32_t BytesPerSecond() const { return Read32(8); }
  uint16_t BlockAlign() const { return Read16(12); }
  uint16_t BitsPerSample() const { return Read16(14); }

 private:
  uint16_t Read16(int at) const { return formatBlock ? Le16(formatBlock + at) : 0; }
  uint32_t Read32(int at) const { return formatBlock ? Le32(formatBlock + at) : 0; }
};

extern WorkingAudio workingAudio;
