// The MP3 frame scanner: finds where the audio stream starts, counts its frames and learns its
// sample rate, channel mode, bitrate and duration, without decoding anything.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/mp3_frame.h"
#include "import/mp3_stream_info.h"

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
  // The file offset where the stream changes to another sample rate or channel count for good
  // (two frames of the new format in a row, right where the frame before ended; one lone frame
  // of another format is damage, counted in the skipped bytes); 0 when it never does. The
  // stream ends there: the scan's figures are those of the frames before it.
  uint32_t FormatChangeOffset() const { return formatChangeOffset_; }

 private:
  void Walk(const uint8_t* bytes, size_t size);
  void CountFrame(const Mp3FrameHeader& header);
  void SkipByte();
  // A frame of another format turned out to stand alone: its bytes are skipped bytes.
  void DropPending(uint32_t bytes);

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
  // The walk stands where a frame ended (no skipped byte since).
  bool atFrameEnd_ = false;
  // A frame of another format after the last counted one, not yet known to start a new stream.
  uint32_t pendingOffset_ = 0, pendingBytes_ = 0;
  int32_t pendingRate_ = 0;
  bool pendingStereo_ = false;
  uint32_t formatChangeOffset_ = 0;

  bool synced_ = false;
  // Bytes read while no sync has been found; accumulationBase_ is the file offset of the
  // first of them (offsets already ruled out are dropped from the front).
  std::vector<uint8_t> accumulation_;
  uint32_t accumulationBase_ = 0;
  size_t searchFrom_ = 0;
  std::vector<uint8_t> work_;
};
