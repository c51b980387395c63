#include "import/pcm_resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "formats/byte_order.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
// Stop-band attenuation of the filter, and where its transition band lies: from 90 % of the
// lower Nyquist frequency to the Nyquist frequency itself, so nothing above it folds back.
constexpr double AttenuationDb = 100.0;
constexpr double PassFraction = 0.90;
// Coefficient table size: every output phase gets its own row while the table stays below
// this many floats; beyond it, rows for evenly spaced phases with linear interpolation.
constexpr size_t MaxTableFloats = size_t{1} << 18;
constexpr int MinInterpolatedRows = 64;
// History that may pile up before the consumed front is dropped.
constexpr int64_t TrimThreshold = 16384;

double BesselI0(double x) {
  double sum = 1.0, term = 1.0;
  const double q = x * x / 4.0;
  for (int k = 1; k < 200; ++k) {
    term *= q / (static_cast<double>(k) * k);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

uint32_t Gcd(uint32_t a, uint32_t b) {
  while (b != 0) {
    uint32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

float DecodeSample(const uint8_t* p, int bits) {
  switch (bits) {
    case 8:
      return (static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
    case 16:
      return static_cast<int16_t>(Le16(p)) * (1.0f / 32768.0f);
    case 24: {
      int32_t v = static_cast<int32_t>(Le24(p) << 8) >> 8;
      return static_cast<float>(v) * (1.0f / 8388608.0f);
    }
    default: {
      int32_t v = static_cast<int32_t>(Le32(p));
      return static_cast<float>(static_cast<double>(v) * (1.0 / 2147483648.0));
    }
  }
}

void StoreSample16(uint8_t* out, float value) {
  float scaled = value * 32768.0f;
  int32_t v;
  if (scaled >= 32767.0f) {
    v = 32767;
  } else if (scaled <= -32768.0f) {
    v = -32768;
  } else {
    v = static_cast<int32_t>(std::lrint(scaled));
  }
  out[0] = static_cast<uint8_t>(v & 0xFF);
  out[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

bool RateSupported(uint32_t rate) {
  return rate >= PcmResampler::MinRate && rate <= PcmResampler::MaxRate;
}

}  // namespace

bool PcmResampler::Supports(const PcmLayout& source, const PcmLayout& target) {
  if (!RateSupported(source.rate) || !RateSupported(target.rate)) return false;
  if (source.channels < 1 || source.channels > 2) return false;
  if (target.channels < 1 || target.channels > 2) return false;
  if (source.bits != 8 && source.bits != 16 && source.bits != 24 && source.bits != 32)
    return false;
  return target.bits == 16;
}

uint64_t PcmResampler::TargetFrames(uint64_t sourceFrames, uint32_t sourceRate,
                                    uint32_t targetRate) {
  if (sourceRate == 0) return 0;
  // sourceFrames < 2^32 in practice; the product stays well inside 64 bits for rates <= 2^20.
  return (sourceFrames * targetRate + sourceRate - 1) / sourceRate;
}

bool PcmResampler::Open(const PcmLayout& source, const PcmLayout& target) {
  open_ = false;
  if (!Supports(source, target)) return false;
  source_ = source;
  target_ = target;
  filteredChannels_ = std::min(source.channels, target.channels);
  uint32_t g = Gcd(source.rate, target.rate);
  up_ = target.rate / g;
  down_ = source.rate / g;
  Design();
  open_ = true;
  Reset();
  return true;
}

void PcmResampler::Design() {
  if (up_ == down_) {
    // Same rate: one tap of 1.0, so 16-bit samples come out unchanged.
    firstTap_ = 0;
    tapCount_ = 1;
    phaseRows_ = 1;
    exactPhases_ = true;
    coefficients_.assign(1, 1.0f);
    return;
  }
  const double nyquist = std::min(source_.rate, target_.rate) / 2.0;
  const double width = (1.0 - PassFraction) * nyquist / source_.rate;  // cycles per input sample
  const double cutoff = (1.0 + PassFraction) / 2.0 * nyquist / source_.rate;
  const double beta = 0.1102 * (AttenuationDb - 8.7);
  int taps = static_cast<int>(std::ceil((AttenuationDb - 7.95) / (2.285 * 2.0 * Pi * width)));
  int half = std::max(2, (taps + 1) / 2);
  firstTap_ = -(half - 1);
  tapCount_ = 2 * half;

  size_t rows;
  if (static_cast<size_t>(up_) * tapCount_ <= MaxTableFloats) {
    exactPhases_ = true;
    rows = up_;
  } else {
    exactPhases_ = false;
    size_t fit = MaxTableFloats / tapCount_;
    rows = std::max<size_t>(MinInterpolatedRows, fit > 1 ? fit - 1 : 1) + 1;
  }
  phaseRows_ = static_cast<int>(exactPhases_ ? rows : rows - 1);
  coefficients_.assign(rows * tapCount_, 0.0f);

  const double i0Beta = BesselI0(beta);
  std::vector<double> row(tapCount_);
  for (size_t r = 0; r < rows; ++r) {
    const double frac = static_cast<double>(r) / phaseRows_;
    double sum = 0.0;
    for (int m = 0; m < tapCount_; ++m) {
      const double t = (firstTap_ + m) - frac;  // distance from the output instant
      const double x = t / half;
      double w = 0.0;
      if (x > -1.0 && x < 1.0) w = BesselI0(beta * std::sqrt(1.0 - x * x)) / i0Beta;
      const double arg = 2.0 * cutoff * t;
      const double sinc = (t == 0.0) ? 1.0 : std::sin(Pi * arg) / (Pi * arg);
      row[m] = 2.0 * cutoff * sinc * w;
      sum += row[m];
    }
    // Unity gain at DC for every phase.
    for (int m = 0; m < tapCount_; ++m)
      coefficients_[r * tapCount_ + m] = static_cast<float>(row[m] / sum);
  }
}

void PcmResampler::SetTotalSourceBytes(uint64_t bytes) { totalBytes_ = bytes; }

void PcmResampler::Reset() {
  for (auto& h : history_) {
    h.clear();
    // Silence before the first frame, so the first outputs have a full window.
    h.assign(static_cast<size_t>(-firstTap_), 0.0f);
  }
  historyBase_ = firstTap_;
  framesIn_ = 0;
  bytesIn_ = 0;
  totalBytes_ = UINT64_MAX;
  carryBytes_ = 0;
  outIndex_ = 0;
  outTotal_ = 0;
  inPos_ = 0;
  phase_ = 0;
  flushing_ = false;
  padded_ = false;
}

void PcmResampler::AppendFrames(const uint8_t* bytes, size_t frames) {
  const int bytesPerSample = source_.bits / 8;
  const uint32_t align = source_.BlockAlign();
  const bool fold = source_.channels == 2 && target_.channels == 1;
  for (size_t f = 0; f < frames; ++f) {
    const uint8_t* p = bytes + f * align;
    const float first = DecodeSample(p, source_.bits);
    if (fold) {
      history_[0].push_back(0.5f * (first + DecodeSample(p + bytesPerSample, source_.bits)));
    } else {
      history_[0].push_back(first);
      if (filteredChannels_ == 2) history_[1].push_back(DecodeSample(p + bytesPerSample, source_.bits));
    }
  }
  framesIn_ += frames;
}

void PcmResampler::PadForFlush() {
  if (padded_) return;
  for (int c = 0; c < filteredChannels_; ++c)
    history_[c].insert(history_[c].end(), static_cast<size_t>(tapCount_), 0.0f);
  padded_ = true;
}

void PcmResampler::TrimHistory() {
  const int64_t drop = inPos_ + firstTap_ - historyBase_;
  if (drop < TrimThreshold) return;
  for (int c = 0; c < filteredChannels_; ++c)
    history_[c].erase(history_[c].begin(), history_[c].begin() + drop);
  historyBase_ += drop;
}

bool PcmResampler::NextOutputReady() const {
  if (flushing_) return outIndex_ < outTotal_;
  return inPos_ + firstTap_ + tapCount_ - 1 < static_cast<int64_t>(framesIn_);
}

void PcmResampler::EmitFrame(uint8_t* out) {
  const size_t start = static_cast<size_t>(inPos_ + firstTap_ - historyBase_);
  const float* row;
  const float* nextRow = nullptr;
  float blend = 0.0f;
  if (exactPhases_) {
    row = &coefficients_[static_cast<size_t>(phase_) * tapCount_];
  } else {
    const uint64_t scaled = phase_ * static_cast<uint64_t>(phaseRows_);
    const uint64_t r = scaled / up_;
    blend = static_cast<float>(static_cast<double>(scaled % up_) / up_);
    row = &coefficients_[r * tapCount_];
    nextRow = row + tapCount_;
  }
  for (int c = 0; c < filteredChannels_; ++c) {
    const float* x = history_[c].data() + start;
    float a0 = 0.0f, a1 = 0.0f, a2 = 0.0f, a3 = 0.0f;
    int m = 0;
    for (; m + 4 <= tapCount_; m += 4) {
      a0 += row[m] * x[m];
      a1 += row[m + 1] * x[m + 1];
      a2 += row[m + 2] * x[m + 2];
      a3 += row[m + 3] * x[m + 3];
    }
    for (; m < tapCount_; ++m) a0 += row[m] * x[m];
    float value = (a0 + a1) + (a2 + a3);
    if (nextRow) {
      float b = 0.0f;
      for (int k = 0; k < tapCount_; ++k) b += nextRow[k] * x[k];
      value += blend * (b - value);
    }
    StoreSample16(out + 2 * c, value);
  }
  // A mono source spread to stereo is filtered once and written to both channels.
  if (target_.channels == 2 && filteredChannels_ == 1) {
    out[2] = out[0];
    out[3] = out[1];
  }
  ++outIndex_;
  phase_ += down_;
  inPos_ += static_cast<int64_t>(phase_ / up_);
  phase_ %= up_;
}

size_t PcmResampler::Convert(const uint8_t* source, size_t sourceBytes, uint8_t* target,
                             size_t capacity, bool last) {
  if (!open_) return 0;
  const uint32_t align = source_.BlockAlign();

  if (!flushing_ && sourceBytes > 0 && source != nullptr) {
    size_t accepted = sourceBytes;
    if (totalBytes_ != UINT64_MAX) {
      uint64_t room = totalBytes_ > bytesIn_ ? totalBytes_ - bytesIn_ : 0;
      if (accepted > room) accepted = static_cast<size_t>(room);
    }
    bytesIn_ += accepted;
    const uint8_t* p = source;
    size_t left = accepted;
    if (carryBytes_ > 0) {
      size_t take = std::min<size_t>(align - carryBytes_, left);
      std::memcpy(carry_ + carryBytes_, p, take);
      carryBytes_ += static_cast<uint32_t>(take);
      p += take;
      left -= take;
      if (carryBytes_ == align) {
        AppendFrames(carry_, 1);
        carryBytes_ = 0;
      }
    }
    size_t frames = left / align;
    AppendFrames(p, frames);
    p += frames * align;
    left -= frames * align;
    if (left > 0) {
      std::memcpy(carry_, p, left);
      carryBytes_ = static_cast<uint32_t>(left);
    }
  }

  if (!flushing_ && (last || (totalBytes_ != UINT64_MAX && bytesIn_ >= totalBytes_))) {
    flushing_ = true;
    outTotal_ = TargetFrames(framesIn_, source_.rate, target_.rate);
    PadForFlush();
  }

  const size_t frameBytes = target_.BlockAlign();
  size_t written = 0;
  while (written + frameBytes <= capacity && NextOutputReady()) {
    EmitFrame(target + written);
    written += frameBytes;
  }
  if (!flushing_) TrimHistory();
  return written;
}

size_t PcmResampler::MaxTargetBytes(size_t sourceBytes) const {
  if (!open_) return 0;
  const uint64_t frames = sourceBytes / source_.BlockAlign() + 1;
  const uint64_t held = static_cast<uint64_t>(tapCount_) + 1;
  const uint64_t out = ((frames + held) * up_ + down_ - 1) / down_ + 1;
  return static_cast<size_t>(out * target_.BlockAlign());
}

size_t PcmResampler::SourceBytesFor(size_t targetBytes) const {
  if (!open_) return 0;
  const uint64_t frames = targetBytes / target_.BlockAlign();
  return static_cast<size_t>(frames * down_ / up_ * source_.BlockAlign());
}
