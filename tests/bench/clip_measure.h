// Signal figures shared by the clip benchmarks: test tones, a least-squares sine fit, levels,
// and the plain 44-byte WAV layout that sox and our extraction read and write.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/byte_order.h"
#include "formats/riff_chunks.h"

namespace clipbench {

constexpr double Pi = 3.14159265358979323846;

inline std::vector<uint8_t> Tone16(uint32_t rate, int channels, double hz, double amplitude,
                                   size_t frames) {
  std::vector<uint8_t> out;
  out.reserve(frames * channels * 2);
  for (size_t i = 0; i < frames; ++i) {
    int s = static_cast<int>(std::lrint(amplitude * 32767 * std::sin(2 * Pi * hz * i / rate)));
    for (int c = 0; c < channels; ++c) {
      out.push_back(static_cast<uint8_t>(s & 0xFF));
      out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
  }
  return out;
}

inline std::vector<double> Channel(const std::vector<uint8_t>& pcm, int channels, int channel) {
  std::vector<double> out;
  for (size_t i = channel * 2; i + 1 < pcm.size(); i += channels * 2)
    out.push_back(static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8) / 32768.0);
  return out;
}

// SNR of the residual after fitting a*sin + b*cos + c at the known frequency; `skip` samples
// are left out at either end (filter transients).
inline double ToneSnrDb(const std::vector<double>& x, double hz, uint32_t rate, size_t skip) {
  double m[3][3] = {}, v[3] = {};
  for (size_t i = skip; i + skip < x.size(); ++i) {
    double basis[3] = {std::sin(2 * Pi * hz * i / rate), std::cos(2 * Pi * hz * i / rate), 1.0};
    for (int r = 0; r < 3; ++r) {
      v[r] += basis[r] * x[i];
      for (int c = 0; c < 3; ++c) m[r][c] += basis[r] * basis[c];
    }
  }
  // Gaussian elimination on the 3x3 normal equations.
  for (int p = 0; p < 3; ++p)
    for (int r = p + 1; r < 3; ++r) {
      double f = m[r][p] / m[p][p];
      for (int c = p; c < 3; ++c) m[r][c] -= f * m[p][c];
      v[r] -= f * v[p];
    }
  double coef[3];
  for (int r = 2; r >= 0; --r) {
    double s = v[r];
    for (int c = r + 1; c < 3; ++c) s -= m[r][c] * coef[c];
    coef[r] = s / m[r][r];
  }
  double signal = 0, noise = 0;
  for (size_t i = skip; i + skip < x.size(); ++i) {
    double fit = coef[0] * std::sin(2 * Pi * hz * i / rate) + coef[1] * std::cos(2 * Pi * hz * i / rate);
    signal += fit * fit;
    double e = x[i] - fit - coef[2];
    noise += e * e;
  }
  return 10 * std::log10(signal / (noise > 1e-30 ? noise : 1e-30));
}

inline double RmsDb(const std::vector<double>& x, size_t skip) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = skip; i + skip < x.size(); ++i, ++n) sum += x[i] * x[i];
  double mean = n ? sum / n : 0;
  return 10 * std::log10(mean > 1e-30 ? mean : 1e-30);
}

inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

inline std::vector<uint8_t> WavBytes(uint32_t rate, int channels, const std::vector<uint8_t>& pcm) {
  std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
  Put32(b, static_cast<uint32_t>(36 + pcm.size()));
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, static_cast<uint16_t>(channels));
  Put32(b, rate);
  Put32(b, rate * channels * 2);
  Put16(b, static_cast<uint16_t>(channels * 2));
  Put16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  Put32(b, static_cast<uint32_t>(pcm.size()));
  b.insert(b.end(), pcm.begin(), pcm.end());
  return b;
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// The samples of a WAV file's "data" chunk (any chunk layout), or empty.
inline std::vector<uint8_t> ReadWavData(const std::string& path, uint32_t* rate = nullptr,
                                        int* channels = nullptr) {
  std::vector<uint8_t> file;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) file.insert(file.end(), buf, buf + n);
    std::fclose(f);
  }
  RiffChunkWalk walk(file);
  RiffChunk chunk;
  while (walk.Next(chunk)) {
    if (chunk.Is("fmt ") && chunk.body + 16 <= file.size()) {
      if (channels) *channels = Le16(&file[chunk.body + 2]);
      if (rate) *rate = Le32(&file[chunk.body + 4]);
    }
    if (chunk.Is("data"))
      return std::vector<uint8_t>(file.begin() + chunk.body,
                                  file.begin() + chunk.body + chunk.available);
  }
  return {};
}

}  // namespace clipbench
