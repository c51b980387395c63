// The RIFF/WAVE file: its chunk walk to "fmt " and "data", the format block ("fmt " body,
// WAVE_FORMAT_EXTENSIBLE included), the whole-file check and the 44-byte header of the CD
// layout. Bounded by the span: nothing is read outside it, whatever the chunk sizes say.
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

enum class WavEncoding {
  Integer,     // PCM: signed samples, unsigned at 8 bits and below
  Float,       // IEEE floating point
  Compressed,  // any other codec (ADPCM, A-law, mu-law, GSM, MP3...)
};

constexpr uint16_t WavTagPcm = 0x0001;
constexpr uint16_t WavTagFloat = 0x0003;
constexpr uint16_t WavTagExtensible = 0xFFFE;

struct WavFormat {
  uint16_t formatTag = 0;  // the record's own tag (0xFFFE for WAVE_FORMAT_EXTENSIBLE)
  uint16_t codec = 0;      // the samples' tag: an extensible record's sub-format (0 when that
                           // is not one of the standard sub-formats)
  WavEncoding encoding = WavEncoding::Compressed;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extensionSize = 0;  // bytes of an extensible record after its first 18; else 0
  uint32_t channelMask = 0;  // speaker positions of an extensible record; 0 when none given

  // Bytes one sample takes in a frame: the bits rounded up to whole bytes.
  uint16_t SampleBytes() const { return static_cast<uint16_t>((bitsPerSample + 7) / 8); }
};

// Reads the body of a "fmt " chunk. False when it is shorter than its tag needs (16 bytes, or
// 40 for an extensible record).
bool ReadWavFormat(std::span<const uint8_t> body, WavFormat* format);

// The number of sample frames of a whole RIFF/WAVE file of PCM samples, or -1: "RIFF" and
// "WAVE", a RIFF size that the file holds, a PCM "fmt " chunk of 1 or 2 channels of 8 or 16
// bits whose block size and byte rate agree with them, and a "data" chunk of at least one
// whole sample frame, and only whole ones, that the file holds completely.
long CheckWavFile(std::span<const uint8_t> file);

// The 44-byte header of the CD layout (44100 Hz, stereo, 16-bit) for `dataBytes` of samples.
struct WavHeaderBytes { uint8_t bytes[44]; };
WavHeaderBytes MakeWavHeader(uint32_t dataBytes);
