// The MP3 decoder that uses the system's MPEG Layer-3 codec through the Audio Compression
// Manager. It feeds the file to the codec in 20-byte pieces, from the file's first byte.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdio>
#include <vector>

#include "import/mp3_decoder.h"
#include "session/handles.h"

class AcmMp3Decoder : public Mp3Decoder {
 public:
  // Bytes of MP3 handed to the codec per Read.
  static constexpr uint32_t PieceBytes = 20;

  AcmMp3Decoder() = default;
  ~AcmMp3Decoder() override;
  AcmMp3Decoder(const AcmMp3Decoder&) = delete;
  AcmMp3Decoder& operator=(const AcmMp3Decoder&) = delete;

  bool IsAvailable() override { return true; }
  // Fails when no ACM driver offers format tag 0x55, when the codec refuses the stream (a
  // failed scan's sample rate of 0 is refused here), or when the file cannot be opened.
  // The offset is not used: the codec finds the stream itself.
  bool Open(const char* path, Mp3StreamInfo info, int32_t firstFrameOffset) override;
  int32_t Read(const uint8_t** pcm) override;
  void ReleaseBuffer(const uint8_t*) override {}
  // True unless a conversion step failed before the end of the file.
  bool Close() override;

  // Ends the input after the file's first `bytes` bytes, as if the file ended there (set after
  // Open).
  void SetInputLimit(uint32_t bytes) { inputLimit_ = bytes; }
  // How many MP3 bytes Read has taken from the file so far.
  uint32_t ConsumedBytes() const { return consumed_; }
  // How many MP3-capable ACM drivers the last Open found (0 or 1).
  int DriverCount() const { return driverCount_; }

 private:
  enum class Phase { Closed, Feeding, Flushing, Ended };

  bool FindCodec();
  int32_t Convert(uint32_t sourceBytes);

  std::vector<uint8_t> input_;
  std::vector<uint8_t> output_;
  ACMSTREAMHEADER header_ = {};
  bool headerPrepared_ = false;
  AcmStream stream_;
  AcmDriver driver_;
  StdioFile file_;
  int driverCount_ = 0;
  Phase phase_ = Phase::Closed;
  int flushCalls_ = 0;
  bool failed_ = false;
  uint32_t consumed_ = 0;
  uint32_t inputLimit_ = UINT32_MAX;
};
