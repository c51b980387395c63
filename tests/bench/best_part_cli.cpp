// The best-part detector over a WAV file of 16-bit PCM: prints its proposals, one a line,
// "START END SCORE" in seconds, best first. With --time N it runs the detector N times and
// prints its best time and the peak of the memory it allocated (the benchmark). With
// --loudest it prints instead the start of the loudest window of that length (whole seconds),
// a baseline of the evaluation.
//   best_part_cli SONG.wav [SECONDS] [--time N | --loudest]
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
  // The file is read into 16-bit storage and the samples are used where they lie, so that the
  // song costs its size once and the detector's own memory shows above it.
  std::FILE* file = std::fopen(path, "rb");
  std::vector<int16_t> storage;
  if (file != nullptr) {
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    storage.resize(size > 0 ? size_t(size + 1) / 2 : 0);
    if (std::fread(storage.data(), 1, size_t(size > 0 ? size : 0), file) != size_t(size > 0 ? size : 0))
      storage.clear();
    std::fclose(file);
  }
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(storage.data()), storage.size() * 2);
  const WavWalk walk = WalkWavChunks(bytes);
  WavFormat format;
  if (walk.result != WavWalkResult::Loaded ||
      !ReadWavFormat(bytes.subspan(walk.formatOffset, walk.formatSize), &format) ||
      format.encoding != WavEncoding::Integer || format.bitsPerSample != 16) {
    std::fprintf(stderr, "%s: not a WAV file of 16-bit PCM\n", path);
    return 1;
  }
  if (walk.dataOffset % 2 != 0) {  // an odd chunk layout: move the samples onto 16-bit places
    std::memmove(storage.data(), bytes.data() + walk.dataOffset, walk.dataSize);
  }
  const std::span<const int16_t> samples(storage.data() + (walk.dataOffset % 2 ? 0 : walk.dataOffset / 2),
                                         walk.dataSize / 2);
  const PcmSong song{samples, format.sampleRate, format.channels};
  const int32_t ms = int32_t(seconds * 1000 + 0.5);
  if (loudest) {
    // Power of each second, then the window of whole seconds with the most.
    std::vector<double> power;
    const size_t second = size_t(format.sampleRate) * format.channels;
    for (size_t at = 0; second > 0 && at + second <= samples.size(); at += second) {
      double sum = 0;
      for (size_t i = at; i < at + second; ++i) sum += double(samples[i]) * samples[i];
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
  for (int i = 0; i < count; ++i)
    std::printf("%.2f %.2f %.3f\n", double(proposals[i].startFrame) / song.sampleRate,
                double(proposals[i].endFrame) / song.sampleRate, proposals[i].confidence);
  return count < 0 ? 1 : 0;
}
