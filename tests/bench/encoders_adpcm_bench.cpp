// Prints the quality and speed of the MMF encoder's ADPCM search at several widths, on a
// WAV file given as the argument (8000 Hz mono 16-bit is typical) or on a built-in
// voice-like signal. Width 1 is the plain one-nibble-at-a-time encoder.
#include <cmath>
#include <numbers>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "encoders/ringm/pcm_wav_reader.h"
#include "encoders/ringm/yamaha_adpcm.h"

namespace {

std::vector<int16_t> Synthetic(size_t count) {
  std::vector<int16_t> s(count);
  double phase = 0;
  uint32_t noise = 1;
  for (size_t i = 0; i < count; ++i) {
    double t = i / 8000.0;
    phase += 2 * std::numbers::pi * (140 + 60 * std::sin(2 * std::numbers::pi * 1.3 * t)) / 8000;
    double v = 0;
    for (int h = 1; h <= 12; ++h) v += std::sin(h * phase) / h;
    noise = noise * 1664525u + 1013904223u;
    double env = 0.2 + 0.8 * std::fabs(std::sin(2 * std::numbers::pi * 2.5 * t));
    s[i] = static_cast<int16_t>(9000 * env * v + 450 * ((noise >> 8) / double(1 << 24) - 0.5));
  }
  return s;
}

// Segmental SNR over 20 ms frames, each clamped to -10..35 dB, silent frames skipped.
double SegmentalSnr(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  double sum = 0;
  int frames = 0;
  for (size_t start = 0; start + 160 <= a.size(); start += 160) {
    double s = 0, e = 0;
    for (size_t i = start; i < start + 160; ++i) {
      s += double(a[i]) * a[i];
      e += double(a[i] - b[i]) * (a[i] - b[i]);
    }
    if (s < 160.0 * 100 * 100) continue;
    sum += std::clamp(10 * std::log10(s / std::max(e, 1.0)), -10.0, 35.0);
    ++frames;
  }
  return frames ? sum / frames : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int16_t> samples;
  if (argc > 1) {
    FILE* f = std::fopen(argv[1], "rb");
    if (!f) return std::perror(argv[1]), 1;
    std::vector<uint8_t> bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    PcmWav wav;
    if (ReadPcmWav(bytes, wav) != PcmWavResult::Ok || wav.channels != 1) {
      std::fprintf(stderr, "%s: not a mono PCM WAV\n", argv[1]);
      return 1;
    }
    for (size_t i = 0; i < wav.FrameCount(); ++i) samples.push_back(PcmSample(wav, i));
  } else {
    samples = Synthetic(8000 * 20);
  }
  std::printf("ADPCM search on %zu samples (%.1f s at 8 kHz)\n", samples.size(),
              samples.size() / 8000.0);
  std::printf("%6s %12s %14s\n", "width", "segSNR dB", "Msamples/cpu-s");
  for (int width : {1, 4, 8, 16, 32}) {
    std::vector<uint8_t> coded(YamahaAdpcmBytes(samples.size()));
    std::clock_t start = std::clock();  // processor time: the machine may be busy
    YamahaAdpcmEncode(samples, coded, width);
    double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    std::vector<int16_t> back(samples.size());
    YamahaAdpcmDecode(coded, samples.size(), back.data());
    std::printf("%6d %12.2f %14.2f\n", width, SegmentalSnr(samples, back),
                samples.size() / seconds / 1e6);
  }
  return 0;
}
