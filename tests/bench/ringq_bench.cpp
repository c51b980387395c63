// Benchmark of the QCP encoder (prints figures, never fails on them).
//   bench_ringq encode in.wav out.qcp   encode, print speed and the SNR of the encoder's own
//                                       synthesis (the decoder without its post-filter)
//   bench_ringq snr ref.wav test.wav    segmental SNR of a decoded file against its input
// Knobs for experiments: RINGQ_WEIGHT=num,den sets the perceptual weighting, RINGQ_NO_EIGHTH=1
// keeps silent frames at full rate.
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "encoders/ringq/pcm_wav_reader.h"
#include "encoders/ringq/qcelp_encoder.h"
#include "formats/qcp_file.h"

namespace {

bool ReadFile(const char* path, std::vector<uint8_t>& out) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + got);
  std::fclose(f);
  return true;
}

bool ReadWav(const char* path, std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  if (!ReadFile(path, bytes)) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return false;
  }
  const PcmWavStatus status = ReadPcmWav(bytes, samples);
  if (status != PcmWavStatus::Ok) {
    std::fprintf(stderr, "%s: %s\n", path, PcmWavStatusText(status));
    return false;
  }
  return true;
}

// Segmental SNR over 20 ms frames with per-frame SNR clamped to [-10, 35] dB, skipping
// near-silent frames of the reference; `test` is shifted by `delay` samples.
double SegmentalSnr(const std::vector<float>& ref, const std::vector<float>& test, int delay,
                    int* framesUsed) {
  double sum = 0;
  int used = 0;
  for (size_t start = 0; start + 160 <= ref.size(); start += 160) {
    double sig = 0, noise = 0;
    for (size_t i = start; i < start + 160; ++i) {
      const long j = long(i) + delay;
      const double t = (j >= 0 && size_t(j) < test.size()) ? test[size_t(j)] : 0.0;
      sig += double(ref[i]) * ref[i];
      noise += (ref[i] - t) * (ref[i] - t);
    }
    if (sig < 160.0 * 100.0) continue;  // RMS below 10 (about -70 dBFS)
    double snr = 10 * std::log10(sig / std::max(noise, 1e-9));
    snr = std::min(35.0, std::max(-10.0, snr));
    sum += snr;
    ++used;
  }
  if (framesUsed) *framesUsed = used;
  return used ? sum / used : 0.0;
}

std::vector<float> ToFloat(const std::vector<int16_t>& s) { return {s.begin(), s.end()}; }

int Encode(const char* in, const char* out) {
  std::vector<int16_t> pcm;
  if (!ReadWav(in, pcm)) return 1;
  const double seconds = pcm.size() / 8000.0;
  const size_t frames = (pcm.size() + 159) / 160;
  std::vector<float> padded(frames * 160 + QcelpLookahead, 0.0f);
  for (size_t i = 0; i < pcm.size(); ++i) padded[i] = pcm[i];
  std::vector<uint8_t> packets;
  std::vector<float> recon(frames * 160);

  // Processor time is the figure of one core; wall time is shown too (the machine may be
  // shared).
  double best = 1e30, bestWall = 1e30;
  for (int run = 0; run < 3; ++run) {
    QcelpEncoderOptions options;
    if (const char* w = std::getenv("RINGQ_WEIGHT"))
      std::sscanf(w, "%f,%f", &options.weightNum, &options.weightDen);
    if (std::getenv("RINGQ_NO_EIGHTH")) options.eighthRateSilence = false;
    QcelpEncoder encoder(options);
    uint8_t packet[FullRatePacketBytes];
    packets.clear();
    packets.reserve(frames * FullRatePacketBytes);
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    for (size_t f = 0; f < frames; ++f) {
      const size_t size = encoder.EncodeFrame(padded.data() + f * 160, packet);
      packets.insert(packets.end(), packet, packet + size);
      std::memcpy(recon.data() + f * 160, encoder.Reconstruction(), 160 * sizeof(float));
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    bestWall = std::min(bestWall, elapsed);
    best = std::min(best, double(std::clock() - c0) / CLOCKS_PER_SEC);
  }
  std::vector<uint8_t> file;
  BuildQcpFile(packets, file);
  std::FILE* f = std::fopen(out, "wb");
  if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size()) return 1;
  std::fclose(f);
  int used = 0;
  const double core = SegmentalSnr(ToFloat(pcm), recon, 0, &used);
  std::printf("speed %.1fx real time (%.2f s of audio in %.3f s processor time on one core; "
              "%.3f s wall)\n",
              seconds / best, seconds, best, bestWall);
  std::printf("synthesis without post-filter: segSNR %.2f dB (%d frames); %zu bytes of packets, "
              "%.2f kbit/s\n",
              core, used, packets.size(), packets.size() * 8 / seconds / 1000);
  return 0;
}

int Snr(const char* refPath, const char* testPath) {
  std::vector<int16_t> ref, test;
  if (!ReadWav(refPath, ref) || !ReadWav(testPath, test)) return 1;
  const std::vector<float> r = ToFloat(ref), t = ToFloat(test);
  int bestDelay = 0, used = 0;
  double best = -1e9;
  for (int d = -240; d <= 240; ++d) {
    const double s = SegmentalSnr(r, t, d, nullptr);
    if (s > best) {
      best = s;
      bestDelay = d;
    }
  }
  SegmentalSnr(r, t, bestDelay, &used);
  std::printf("segSNR %.2f dB (delay %d samples, %d frames, length %zu vs %zu)\n", best,
              bestDelay, used, test.size(), ref.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "encode") == 0) return Encode(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "snr") == 0) return Snr(argv[2], argv[3]);
  std::fprintf(stderr, "usage: bench_ringq encode in.wav out.qcp | snr ref.wav test.wav\n");
  return 2;
}
