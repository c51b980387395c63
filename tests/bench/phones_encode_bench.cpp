// The encoders of today's phones as the conversion runs them: test.wav read, encoded and the
// ringtone written, for the iPhone (AAC in M4A through FFmpeg's DLLs) and the Android phone
// (Ogg Vorbis through libvorbis). Prints the best wall time of each over a number of rounds.
//   bench_phones_encode CLIP.wav OUT_FOLDER ROUNDS
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "encoders/inprocess/ringtone_encoder.h"
#include "tests/bench/clip_measure.h"

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The processor time (user and kernel) the process has used so far: unlike the wall time, it
// does not grow while other programs have the processor.
double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           1e7;
  };
  return seconds(kernel) + seconds(user);
}

// The clip file read, then encoded by `encode` into `out`, as ffmpeg and oggenc do with it.
bool EncodeFile(const char* clip, RingtoneEncoder encode, const std::string& out) {
  uint32_t rate = 0;
  int channels = 0;
  const std::vector<uint8_t> data = clipbench::ReadWavData(clip, &rate, &channels);
  std::vector<int16_t> samples(data.size() / 2);
  std::memcpy(samples.data(), data.data(), samples.size() * 2);
  return !samples.empty() &&
         encode(PcmClip{samples, channels, static_cast<int>(rate)}, out.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_phones_encode CLIP.wav OUT_FOLDER ROUNDS\n");
    return 2;
  }
  const std::string folder = argv[2];
  const int rounds = std::atoi(argv[3]) > 0 ? std::atoi(argv[3]) : 1;
  double bestM4r = 1e9, bestOgg = 1e9, cpuM4r = 1e9, cpuOgg = 1e9;
  for (int round = 0; round < rounds; ++round) {
    double start = Seconds(), cpuStart = ProcessorSeconds();
    if (!EncodeFile(argv[1], EncodeM4r, folder + "\\ours.m4r")) {
      std::fprintf(stderr, "the m4r encoding failed\n");
      return 1;
    }
    bestM4r = std::min(bestM4r, Seconds() - start);
    cpuM4r = std::min(cpuM4r, ProcessorSeconds() - cpuStart);
    start = Seconds();
    cpuStart = ProcessorSeconds();
    if (!EncodeFile(argv[1], EncodeOggVorbis, folder + "\\ours.ogg")) {
      std::fprintf(stderr, "the ogg encoding failed\n");
      return 1;
    }
    bestOgg = std::min(bestOgg, Seconds() - start);
    cpuOgg = std::min(cpuOgg, ProcessorSeconds() - cpuStart);
  }
  std::printf("m4r_seconds=%.3f\nogg_seconds=%.3f\nm4r_cpu_seconds=%.3f\nogg_cpu_seconds=%.3f\n",
              bestM4r, bestOgg, cpuM4r, cpuOgg);
  return 0;
}
