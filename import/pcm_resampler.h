// High-quality conversion of integer PCM between sample rates and between mono and stereo:
// a Kaiser-windowed sinc filter with its coefficients precomputed per output phase, an
// averaging stereo-to-mono fold (it cannot clip), and filter state that runs on across calls so
// that the output does not depend on how the input is cut into pieces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Little-endian interleaved integer PCM: 8-bit unsigned, 16/24/32-bit signed.
struct PcmLayout {
  uint32_t rate = 0;
  uint16_t channels = 0;
  uint16_t bits = 0;
  uint32_t BlockAlign() const { return static_cast<uint32_t>(channels) * (bits / 8); }
};

class PcmResampler {
 public:
  // Source: 1 or 2 channels of 8, 16, 24 or 32 bits; target: 1 or 2 channels of 16 bits; both
  // rates from MinRate to MaxRate.
  static constexpr uint32_t MinRate = 1000;
  static constexpr uint32_t MaxRate = 384000;
  static bool Supports(const PcmLayout& source, const PcmLayout& target);

  // Frames that `sourceFrames` input frames become: every output instant that falls inside the
  // input, ceil(sourceFrames * targetRate / sourceRate).
  static uint64_t TargetFrames(uint64_t sourceFrames, uint32_t sourceRate, uint32_t targetRate);

  // Designs the filter; false (and nothing usable) when the pair is not supported.
  bool Open(const PcmLayout& source, const PcmLayout& target);

  // When the caller knows how many source bytes the whole stream has, the tail of the filter is
  // flushed as soon as that many have arrived; bytes beyond it are ignored.
  void SetTotalSourceBytes(uint64_t bytes);

  // Takes all of `source` (a partial frame is kept for the next call) and writes whole target
  // frames, at most `capacity` bytes; returns the bytes written. `last` flushes the filter tail
  // as well. Output that does not fit stays pending for the next call.
  size_t Convert(const uint8_t* source, size_t sourceBytes, uint8_t* target, size_t capacity,
                 bool last);

  // The most one Convert of `sourceBytes` can write, including a flushed tail and what earlier
  // calls held back for the filter.
  size_t MaxTargetBytes(size_t sourceBytes) const;
  // Source bytes whose output fits into `targetBytes` (whole frames, without the tail).
  size_t SourceBytesFor(size_t targetBytes) const;

  // Back to the state right after Open (the total length is forgotten).
  void Reset();

  bool IsOpen() const { return open_; }
  // Filter taps per output frame and coefficient rows (for benchmarks and tests).
  int TapCount() const { return tapCount_; }
  int PhaseRows() const { return phaseRows_; }

 private:
  void Design();
  void AppendFrames(const uint8_t* bytes, size_t frames);
  void PadForFlush();
  void TrimHistory();
  bool NextOutputReady() const;
  void EmitFrame(uint8_t* out);

  bool open_ = false;
  PcmLayout source_;
  PcmLayout target_;
  uint32_t up_ = 1;    // output instant n lies at input position n * down_ / up_
  uint32_t down_ = 1;

  int firstTap_ = 0;   // offset of the first tap from the integer input position
  int tapCount_ = 1;
  int phaseRows_ = 1;  // rows of coefficients; == up_ when every phase has its own row
  bool exactPhases_ = true;
  std::vector<float> coefficients_;

  int filteredChannels_ = 1;       // channels that go through the filter
  std::vector<float> history_[2];  // per filtered channel, input frames from historyBase_ on
  int64_t historyBase_ = 0;
  uint64_t framesIn_ = 0;
  uint64_t bytesIn_ = 0;
  uint64_t totalBytes_ = UINT64_MAX;
  uint8_t carry_[8] = {};
  uint32_t carryBytes_ = 0;

  uint64_t outIndex_ = 0;
  uint64_t outTotal_ = 0;
  int64_t inPos_ = 0;
  uint64_t phase_ = 0;
  bool flushing_ = false;
  bool padded_ = false;
};
