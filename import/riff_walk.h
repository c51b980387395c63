// The RIFF/WAVE chunk walk over the bytes of a mapped file. Bounded by the span: it never
// reads outside it, whatever the chunk sizes say.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

enum class WavWalkResult {
  Loaded,      // "fmt " (PCM) and "data" found
  TooSmall,    // not even a RIFF header
  NoFormat,    // no complete "fmt " chunk of at least 16 bytes
  NotPcm,      // format tag other than 1 (the "data" fields are still filled when found)
  NoData,      // no "data" chunk after "fmt "
};

struct WavWalk {
  WavWalkResult result = WavWalkResult::TooSmall;
  bool headerValid = false;    // "RIFF" at 0 and "WAVE" at 8
  size_t formatOffset = 0;     // body of "fmt "
  uint32_t formatSize = 0;
  size_t dataHeaderOffset = 0; // header of "data"
  size_t dataOffset = 0;       // body of "data"; 0 when there is none
  uint32_t dataSize = 0;       // declared size, cut to the bytes that are there
  uint16_t formatTag = 0;
};

// Walks the chunks: "fmt " first (skipping any others, with the pad byte after odd sizes), then
// on from there to "data". When the header is not "RIFF" the walk starts at offset 8, else 12.
WavWalk WalkWavChunks(std::span<const uint8_t> file);

// True when `file` is a whole RIFF/WAVE file of PCM samples: "RIFF" and "WAVE", a RIFF size
// that the file holds, a PCM "fmt " chunk of 1 or 2 channels of 8 or 16 bits whose block size
// and byte rate agree with them, and a "data" chunk of whole sample frames that the file holds
// completely.
bool IsWholePcmWav(std::span<const uint8_t> file);

// The 44-byte header of the CD layout (44100 Hz, stereo, 16-bit) for `dataBytes` of samples.
struct WavHeaderBytes { uint8_t bytes[44]; };
WavHeaderBytes MakeWavHeader(uint32_t dataBytes);
