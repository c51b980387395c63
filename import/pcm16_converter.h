// Turns the samples of a PCM or floating-point WAV file into the 16-bit PCM of the working
// audio: the sample rate is kept, one or two channels stay as they are, more are mixed down to
// stereo by their speaker positions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "import/wav_format.h"

class Pcm16Converter {
 public:
  // `format` must be convertible (IsConvertibleSampleType) with at least one channel.
  explicit Pcm16Converter(const WavFormat& format);

  uint16_t OutputChannels() const { return outputChannels_; }

  // Converts `frames` whole frames at `source` into frames x OutputChannels() samples at `out`.
  // Values are rounded to the nearest (ties to even); floats outside -1..1 are clamped to it
  // (NaN is silence). The mix is scaled so that its peak cannot pass full scale.
  void Convert(const uint8_t* source, size_t frames, int16_t* out) const;

 private:
  template <class Sample> void ConvertAs(const uint8_t* source, size_t frames, int16_t* out) const;

  WavFormat format_;
  uint16_t outputChannels_;
  // Mix weights of each source channel into left and right (empty when nothing is mixed).
  std::vector<double> left_, right_;
};

struct Pcm16Result {
  uint64_t bytesOut = 0;   // bytes of 16-bit PCM handed to the writer
  bool truncated = false;  // stopped after passing the byte limit
  bool stopped = false;    // the writer refused a piece
};

// Converts `data` (whole frames of `format`) piece by piece and hands each piece to `write`
// with the count of source bytes consumed so far; `write` returns false to stop. Like the MP3
// import, it stops after the piece that takes the output past `byteLimit`.
Pcm16Result ConvertToPcm16(
    std::span<const uint8_t> data, const WavFormat& format, uint64_t byteLimit,
    const std::function<bool(std::span<const int16_t> samples, size_t consumedBytes)>& write);
