// The best-part detector over a WAV file of 8 or 16-bit PCM: prints its proposals, one a line,
// "START END SCORE" in seconds, best first. With --time N it runs the detector N times and
// prints its best time and the peak of the memory it allocated (the benchmark). With
// --loudest it prints instead the start of the loudest window of that length (whole seconds),
// a baseline of the evaluation.
//   best_part_cli SONG.wav [SECONDS] [--time N | --loudest]
// Exit status 3: the file is not a WAV file of 8 or 16-bit PCM.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "analysis/best_part.h"
#include "formats/wav_file.h"

// The detector's memory: every operator new of the process is counted (its vectors are all
// there is but KissFFT's few kilobytes of twiddles), and the peak of the live bytes kept.
namespace {
std::atomic<size_t> liveBytes{0}, peakBytes{0};
constexpr size_t Header = 16;
}  // namespace
void* operator new(size_t size) {
  auto* block = static_cast<size_t*>(std::malloc(size + Header));
  if (block == nullptr) throw std::bad_alloc();
  *block = size;
  const size_t live = liveBytes += size;
  size_t peak = peakBytes.load();
  while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
  }
  return reinterpret_cast<char*>(block) + Header;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = reinterpret_cast<size_t*>(static_cast<char*>(p) - Header);
  liveBytes -= *block;
  std::free(block);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

int main(int argc, char** argv) {
  const char* path = nullptr;
  double seconds = 30;
  int runs = 0;
  bool loudest = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--time") == 0 && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--loudest") == 0)
      loudest = true;
    else if (path == nullptr)
      path = argv[i];
    else
      seconds = std::atof(argv[i]);
  }
  if (path == nullptr || !(seconds > 0 && seconds <= 3600)) {
    std::fprintf(stderr, "usage: best_part_cli SONG.wav [SECONDS] [--time N]\n");
    return 2;
  }
  // The file is read once and the samples are used where they lie, as the window maps d.wav.
  std::vector<uint8_t> bytes;
  if (std::FILE* file = std::fopen(path, "rb")) {
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
  }
  const WavWalk walk = WalkWavChunks(bytes);
  WavFormat format;
  if (walk.result != WavWalkResult::Loaded ||
      !ReadWavFormat(std::span(bytes).subspan(walk.formatOffset, walk.formatSize), &format) ||
      format.encoding != WavEncoding::Integer || (format.bitsPerSample != 16 && format.bitsPerSample != 8)) {
    std::fprintf(stderr, "%s: not a WAV file of 8 or 16-bit PCM\n", path);
    return 3;
  }
  const PcmSong song{std::span(bytes).subspan(walk.dataOffset, walk.dataSize), format.sampleRate,
                     format.channels, format.bitsPerSample};
  const int32_t ms = int32_t(seconds * 1000 + 0.5);
  if (loudest) {
    // Power of each second, then the window of whole seconds with the most.
    std::vector<double> power;
    const MonoDecimator mono(song, 1);
    for (uint64_t at = 0; song.sampleRate > 0 && at + song.sampleRate <= mono.Length(); at += song.sampleRate) {
      double sum = 0;
      for (uint64_t i = at; i < at + song.sampleRate; ++i) sum += double(mono.At(int64_t(i))) * mono.At(int64_t(i));
      power.push_back(sum);
    }
    const size_t window = size_t(seconds);
    size_t bestStart = 0;
    double bestSum = -1;
    for (size_t s = 0; s + window <= power.size(); ++s) {
      double sum = 0;
      for (size_t i = s; i < s + window; ++i) sum += power[i];
      if (sum > bestSum) bestSum = sum, bestStart = s;
    }
    std::printf("%zu\n", bestStart);
    return 0;
  }
  BestPartProposal proposals[BestPartMaxProposals];
  int count = 0;
  const size_t before = liveBytes;
  peakBytes = before;
  double best = 1e9;
  for (int run = 0; run < (runs > 0 ? runs : 1); ++run) {
    const auto start = std::chrono::steady_clock::now();
    count = FindBestParts(song, ms, nullptr, proposals);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  if (runs > 0) {
    std::printf("song_seconds=%.2f\ndetect_seconds=%.4f\ndetect_peak_bytes=%llu\n",
                double(song.Frames()) / song.sampleRate, best, static_cast<unsigned long long>(peakBytes - before));
  }
  if (count == 0 && !song.Usable())
    std::fprintf(stderr, "%s: no part to propose: %u Hz and %u channels are outside 1,000 to 768,000 Hz "
                 "and 1 to 32 channels\n", path, unsigned(song.sampleRate), unsigned(song.channels));
  else if (count == 0)
    std::fprintf(stderr, "%s: no part to propose: the song is silent\n", path);
  for (int i = 0; i < count; ++i)
    std::printf("%.2f %.2f %.3f\n", double(proposals[i].startFrame) / song.sampleRate,
                double(proposals[i].endFrame) / song.sampleRate, proposals[i].confidence);
  return count < 0 ? 1 : 0;
}
