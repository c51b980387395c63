#include "import/pcm16_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/byte_order.h"

namespace {

// Frames converted per piece: 64 KB of stereo output, and about 256 pieces for the largest
// file Browse takes, so the progress bar moves smoothly.
constexpr size_t PieceFrames = 16384;

enum class Speaker { Left, Right, Centre, Lfe };

// The speaker positions of WAVE_FORMAT_EXTENSIBLE's channel mask, bit by bit: front left and
// right, front centre, low frequency, back, front of centre, back centre, side, and the top
// positions. Any later bit counts as centre.
constexpr Speaker MaskBits[18] = {
    Speaker::Left,   Speaker::Right,  Speaker::Centre, Speaker::Lfe,   Speaker::Left,
    Speaker::Right,  Speaker::Left,   Speaker::Right,  Speaker::Centre, Speaker::Left,
    Speaker::Right,  Speaker::Centre, Speaker::Left,   Speaker::Centre, Speaker::Right,
    Speaker::Left,   Speaker::Centre, Speaker::Right};

int16_t Clamp16(long v) { return static_cast<int16_t>(std::clamp<long>(v, -32768, 32767)); }

// A left-justified 32-bit sample to 16 bits, rounded to the nearest, ties to even.
int16_t Round16(int32_t x) {
  int64_t v = x;
  int64_t r = (v + 0x7FFF + ((v >> 16) & 1)) >> 16;
  return static_cast<int16_t>(std::min<int64_t>(r, 32767));
}

// Integer samples of `Bytes` bytes, unsigned at one byte, read as left-justified 32-bit values
// (narrower samples sit in the high bits of their bytes, so this holds for them too).
template <int Bytes>
struct IntSample {
  static constexpr size_t Size = Bytes;
  static int32_t Left(const uint8_t* p) {
    uint32_t v = 0;
    if constexpr (Bytes == 1) v = static_cast<uint32_t>(p[0] ^ 0x80) << 24;
    if constexpr (Bytes == 2) v = static_cast<uint32_t>(Le16(p)) << 16;
    if constexpr (Bytes == 3) v = Le24(p) << 8;
    if constexpr (Bytes == 4) v = Le32(p);
    return static_cast<int32_t>(v);
  }
  static int16_t To16(const uint8_t* p) { return Round16(Left(p)); }
  // The value in units of the 16-bit scale, for mixing.
  static double Units(const uint8_t* p) { return Left(p) * (1.0 / 65536); }
};

template <class T>
struct FloatSample {
  static constexpr size_t Size = sizeof(T);
  static double Unit(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    double d = v;
    if (d > 1) return 1;
    if (d < -1) return -1;
    return d == d ? d : 0;  // NaN is silence
  }
  static int16_t To16(const uint8_t* p) { return Clamp16(std::lrint(Unit(p) * 32768)); }
  static double Units(const uint8_t* p) { return Unit(p) * 32768; }
};

}  // namespace

Pcm16Converter::Pcm16Converter(const WavFormat& format)
    : format_(format), outputChannels_(format.channels > 2 ? 2 : format.channels) {
  if (format.channels <= 2) return;
  // Channels take the mask's set bits in order; without a mask, the first positions in order.
  uint32_t mask = format.channelMask ? format.channelMask
                                     : (format.channels >= 18 ? 0x3FFFFu
                                                              : (1u << format.channels) - 1);
  std::vector<Speaker> speakers;
  for (int bit = 0; bit < 32 && speakers.size() < format.channels; ++bit)
    if (mask >> bit & 1) speakers.push_back(bit < 18 ? MaskBits[bit] : Speaker::Centre);
  speakers.resize(format.channels, Speaker::Centre);  // channels the mask leaves unplaced

  // Centre channels go to both sides at -3 dB; low-frequency effects are left out.
  const double centre = std::sqrt(0.5);
  double sumLeft = 0, sumRight = 0;
  for (Speaker s : speakers) {
    double l = s == Speaker::Left ? 1 : s == Speaker::Centre ? centre : 0;
    double r = s == Speaker::Right ? 1 : s == Speaker::Centre ? centre : 0;
    left_.push_back(l);
    right_.push_back(r);
    sumLeft += l;
    sumRight += r;
  }
  // Every channel at full scale together must still fit: scale the mix by its largest sum.
  double peak = std::max(sumLeft, sumRight);
  if (peak > 1) {
    for (double& w : left_) w /= peak;
    for (double& w : right_) w /= peak;
  }
}

template <class Sample>
void Pcm16Converter::ConvertAs(const uint8_t* source, size_t frames, int16_t* out) const {
  if (left_.empty()) {
    const size_t count = frames * format_.channels;
    for (size_t i = 0; i < count; ++i, source += Sample::Size) out[i] = Sample::To16(source);
    return;
  }
  const size_t channels = format_.channels;
  for (size_t f = 0; f < frames; ++f) {
    double l = 0, r = 0;
    for (size_t c = 0; c < channels; ++c, source += Sample::Size) {
      double v = Sample::Units(source);
      l += left_[c] * v;
      r += right_[c] * v;
    }
    *out++ = Clamp16(std::lrint(l));
    *out++ = Clamp16(std::lrint(r));
  }
}

void Pcm16Converter::Convert(const uint8_t* source, size_t frames, int16_t* out) const {
  if (format_.encoding == WavEncoding::Float) {
    if (format_.bitsPerSample == 64)
      ConvertAs<FloatSample<double>>(source, frames, out);
    else
      ConvertAs<FloatSample<float>>(source, frames, out);
    return;
  }
  switch (format_.SampleBytes()) {
    case 1: ConvertAs<IntSample<1>>(source, frames, out); break;
    case 2: ConvertAs<IntSample<2>>(source, frames, out); break;
    case 3: ConvertAs<IntSample<3>>(source, frames, out); break;
    default: ConvertAs<IntSample<4>>(source, frames, out); break;
  }
}

Pcm16Result ConvertToPcm16(
    std::span<const uint8_t> data, const WavFormat& format, uint64_t byteLimit,
    const std::function<bool(std::span<const int16_t> samples, size_t consumedBytes)>& write) {
  Pcm16Result result;
  if (format.blockAlign == 0 || format.channels == 0) return result;
  Pcm16Converter converter(format);
  const size_t outChannels = converter.OutputChannels();
  const size_t frames = data.size() / format.blockAlign;
  std::vector<int16_t> piece(PieceFrames * outChannels);
  size_t done = 0;
  while (done < frames) {
    size_t n = std::min(PieceFrames, frames - done);
    converter.Convert(data.data() + done * format.blockAlign, n, piece.data());
    done += n;
    if (!write({piece.data(), n * outChannels}, done * format.blockAlign)) {
      result.stopped = true;
      break;
    }
    result.bytesOut += n * outChannels * 2;
    if (result.bytesOut > byteLimit && done < frames) {
      result.truncated = true;
      break;
    }
  }
  return result;
}
