// The MP3 frame scanner: finds where the audio stream starts, counts its frames and learns its
// sample rate, channel mode, bitrate and duration, without decoding anything.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/mp3_stream_info.h"

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
long CheckMp3File(const uint8_t* bytes, size_t size);

class Mp3Scanner {
 public:
  // The scan reads the file in blocks of this many bytes.
  static constexpr size_t BlockBytes = 65535;

  // Starts a new scan of a file of `fileBytes` bytes.
  void Reset(uint32_t fileBytes);
  // Takes the next bytes of the file, in order. Blocks may have any size.
  void Feed(const uint8_t* bytes, size_t size);
  // Ends the scan: true when the file holds an MP3 stream. On failure the stream info is all
  // 0 (the other counts stay as they were, for diagnostics).
  bool Finish();

  // Resets, reads the file at `path` in BlockBytes blocks and finishes. False when the file
  // cannot be opened or sized, or when it is not an MP3 stream.
  bool ScanFile(const char* path);

  const Mp3StreamInfo& Info() const { return info_; }
  uint32_t FileBytes() const { return fileBytes_; }
  uint32_t FirstFrameOffset() const { return firstFrameOffset_; }
  uint32_t AudioBytes() const { return audioBytes_; }  // first frame to the end of the file
  uint32_t FrameBytes() const { return frameBytes_; }
  uint32_t SkippedBytes() const { return skippedBytes_; }
  // Bit k is set when skipped bytes were found in the k-th thirty-second of the audio bytes.
  uint32_t DamageMap() const { return damageMap_; }
  bool Synchronised() const { return synced_; }

 private:
  void Walk(const uint8_t* bytes, size_t size);
  void CountFrame(const Mp3FrameHeader& header);
  void SkipByte();

  uint32_t fileBytes_ = 0;
  uint32_t firstFrameOffset_ = 0;
  uint32_t audioBytes_ = 0;
  Mp3StreamInfo info_;
  uint32_t frameBytes_ = 0;
  uint32_t skippedBytes_ = 0;
  uint32_t damageMap_ = 0;
  int64_t bitrateSum_ = 0;
  uint8_t carry_[3] = {};
  uint32_t carryCount_ = 0;
  // Bytes of a frame that began in an earlier block and still have to be passed over.
  uint32_t frameRest_ = 0;

  bool synced_ = false;
  // Bytes read while no sync has been found; accumulationBase_ is the file offset of the
  // first of them (offsets already ruled out are dropped from the front).
  std::vector<uint8_t> accumulation_;
  uint32_t accumulationBase_ = 0;
  size_t searchFrom_ = 0;
  std::vector<uint8_t> work_;
};
