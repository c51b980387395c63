// The MP3 decoder interface: one implementation per way of turning MP3 into 16-bit PCM.
// A decoder is Closed -> Open -> Read ... -> Close, and may be opened again after Close.
#pragma once
#include <cstdint>

#include "import/mp3_stream_info.h"

class Mp3Decoder {
 public:
  // Read results besides a byte count.
  static constexpr int32_t EndOfInput = -1;
  // Also ends the input, and says the output is complete without asking Close.
  static constexpr int32_t EndOfInputKeep = -2;

  virtual bool IsAvailable() = 0;
  // Gets ready to decode the file at `path`, whose scan gave `info`; `firstFrameOffset` is
  // where the scan found the stream (a decoder may start there or at the file's start).
  virtual bool Open(const char* path, Mp3StreamInfo info, int32_t firstFrameOffset) = 0;
  // Decodes the next piece: `*pcm` points at the decoder's own buffer holding the returned
  // number of bytes (0 or more) of interleaved 16-bit PCM, valid until the next call.
  // EndOfInput once the input is used up, again on every later call.
  virtual int32_t Read(const uint8_t** pcm) = 0;
  // Hands back a buffer that Read gave out.
  virtual void ReleaseBuffer(const uint8_t* pcm) = 0;
  // Releases the file and the codec; true when the whole input was decoded.
  virtual bool Close() = 0;
  virtual ~Mp3Decoder() = default;
};
