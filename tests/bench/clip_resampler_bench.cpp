// The clip's rate and channel conversion beside sox: tone SNR after a sine fit, the level of a
// tone that would alias, clipped samples of a loud stereo fold, length, and time for 30 s.
// Prints figures; never fails on them. Needs sox on the PATH for the reference column.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/pcm_resampler.h"
#include "tests/bench/clip_measure.h"

using namespace clipbench;

namespace {

struct Result {
  std::vector<uint8_t> pcm;
  double seconds = -1;
};

Result Ours(uint32_t fromRate, int fromChannels, uint32_t toRate, int toChannels,
            const std::vector<uint8_t>& in) {
  Result r;
  auto t0 = std::chrono::steady_clock::now();
  PcmResampler resampler;
  if (!resampler.Open(PcmLayout{fromRate, static_cast<uint16_t>(fromChannels), 16},
                      PcmLayout{toRate, static_cast<uint16_t>(toChannels), 16}))
    return r;
  resampler.SetTotalSourceBytes(in.size());
  const size_t chunk = static_cast<size_t>(fromChannels) * 2 * 1024;  // as the extraction reads
  std::vector<uint8_t> buf(resampler.MaxTargetBytes(chunk));
  for (size_t at = 0; at < in.size(); at += chunk) {
    size_t n = std::min(chunk, in.size() - at);
    size_t w = resampler.Convert(in.data() + at, n, buf.data(), buf.size(), false);
    r.pcm.insert(r.pcm.end(), buf.begin(), buf.begin() + w);
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return r;
}

Result Sox(uint32_t fromRate, int fromChannels, uint32_t toRate, int toChannels,
           const std::vector<uint8_t>& in) {
  Result r;
  const std::string dir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
  const std::string src = dir + "/qv_clip_bench_in.wav", dst = dir + "/qv_clip_bench_out.wav";
  if (!WriteFile(src, WavBytes(fromRate, fromChannels, in))) return r;
  const std::string command = "sox -q -D " + src + " -r " + std::to_string(toRate) + " -c " +
                              std::to_string(toChannels) + " -b 16 " + dst + " 2>/dev/null";
  auto t0 = std::chrono::steady_clock::now();
  int status = std::system(command.c_str());
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (status != 0) {
    r.seconds = -1;
    return r;
  }
  r.pcm = ReadWavData(dst);
  std::remove(src.c_str());
  std::remove(dst.c_str());
  return r;
}

void Row(const char* who, const Result& r, int toChannels, uint32_t toRate, double hz,
         size_t expectedFrames, double inputDb, bool alias) {
  if (r.seconds < 0) {
    std::printf("  %-6s  (not available)\n", who);
    return;
  }
  std::vector<double> x = Channel(r.pcm, toChannels, 0);
  size_t frames = r.pcm.size() / (2 * toChannels);
  size_t clipped = 0;
  for (double v : x) clipped += (v >= 32767 / 32768.0 || v <= -1.0);
  if (alias) {
    const double level = RmsDb(x, toRate / 20) - inputDb;
    char figure[32];
    if (level < -200) std::snprintf(figure, sizeof figure, "silent");
    else std::snprintf(figure, sizeof figure, "%.1f dB", level);
    std::printf("  %-6s  alias %9s   length %zu (%+lld)   clipped %zu   %.3f s\n", who, figure, frames,
                static_cast<long long>(frames) - static_cast<long long>(expectedFrames), clipped,
                r.seconds);
  } else {
    std::printf("  %-6s  SNR %6.1f dB   level %+6.2f dB   length %zu (%+lld)   clipped %zu   %.3f s\n",
                who, ToneSnrDb(x, hz, toRate, toRate / 20), RmsDb(x, toRate / 20) - inputDb,
                frames, static_cast<long long>(frames) - static_cast<long long>(expectedFrames),
                clipped, r.seconds);
  }
}

void Case(const char* title, uint32_t fromRate, int fromChannels, uint32_t toRate, int toChannels,
          double hz, double amplitude, bool alias) {
  const size_t frames = static_cast<size_t>(fromRate) * 30;
  std::vector<uint8_t> in = Tone16(fromRate, fromChannels, hz, amplitude, frames);
  const double inputDb = 20 * std::log10(amplitude / std::sqrt(2.0));
  const size_t expected = static_cast<size_t>(PcmResampler::TargetFrames(frames, fromRate, toRate));
  std::printf("%s: %u Hz x%d -> %u Hz x%d, %.0f Hz tone at %.2f, 30 s\n", title, fromRate,
              fromChannels, toRate, toChannels, hz, amplitude);
  Row("ours", Ours(fromRate, fromChannels, toRate, toChannels, in), toChannels, toRate, hz,
      expected, inputDb, alias);
  Row("sox", Sox(fromRate, fromChannels, toRate, toChannels, in), toChannels, toRate, hz,
      expected, inputDb, alias);
}

}  // namespace

int main() {
#if defined(__SANITIZE_ADDRESS__)
  std::printf("(built with sanitizers: the times of \"ours\" are not representative; the\n"
              " Windows benchmark bench_clip_extract times the real build)\n");
#endif
  Case("Tone", 44100, 2, 8000, 1, 1000, 0.5, false);
  Case("Alias", 44100, 2, 8000, 1, 6000, 0.5, true);
  Case("Loud fold", 44100, 2, 8000, 1, 440, 0.98, false);
  Case("Tone", 22050, 1, 8000, 1, 3000, 0.5, false);
  Case("Alias", 22050, 1, 8000, 1, 4500, 0.5, true);
  Case("Tone", 48000, 2, 8000, 1, 1000, 0.5, false);
  Case("Tone", 8000, 1, 44100, 2, 1000, 0.5, false);
  Case("Tone", 22050, 2, 44100, 2, 5000, 0.5, false);
  return 0;
}
