// The MPEG audio file: a frame header, the sync of a stream (four headers in a row), the size
// of an ID3v2 tag and the whole-file check of an MP3 file. The frame scanner of the import
// (import/mp3_scanner.h) reads streams with these.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

// One MPEG audio frame header as the scanner reads it.
struct Mp3FrameHeader {
  int32_t version = 0;     // 1 for MPEG-1, 2 for MPEG-2 and MPEG-2.5
  int32_t layer = 0;       // 1, 2 or 3; 0 for the reserved layer code
  int32_t bitrate = 0;     // kbit/s
  int32_t sampleRate = 0;  // Hz
  int32_t padding = 0;     // 0 or 1
  int32_t stereo = 0;      // 1 unless single channel
  int32_t length = 0;      // bytes of the whole frame, header included
};

// Reads the four header bytes at `bytes`. True when they are a frame header: sync bits set,
// known bitrate and sample rate, and a frame length of 2 to 2048 bytes.
bool ReadMp3FrameHeader(const uint8_t* bytes, Mp3FrameHeader* header);

// Looks for the start of an MP3 stream in `bytes` from `from` on: the first of four valid
// headers in a row, each at the end of the frame before it, all with the same sample rate and
// layer. Returns true and the offset in `syncAt` when found. Returns false when the bytes end
// before the search could decide; `resumeAt` then says where a search over the same bytes
// with more appended must start again (every earlier offset has been ruled out).
bool FindMp3Sync(const uint8_t* bytes, size_t size, size_t from, size_t* syncAt,
                 size_t* resumeAt);

// Bytes of the ID3v2 tag at the start of `bytes` (header, body and any footer), or 0 when
// they do not start with a well-formed tag header.
size_t Id3v2TagBytes(const uint8_t* bytes, size_t size);

// The number of MPEG Layer III frames of a whole MP3 file, or -1. After an optional ID3v2
// tag the file must be frames back to back, each of the same version and sample rate as the
// first, up to the end of the file or up to a 128-byte ID3v1 tag that ends it.
long CheckMp3File(std::span<const uint8_t> file);
