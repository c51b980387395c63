// Times ImportMp3 (decode and write d.wav, with the progress bar on a window thread of its own,
// as in the program) against a bare loop of ACM decoding that writes nothing.
//   bench_mp3_import.exe MP3_PATH WORK_FOLDER [REPEATS]
// Prints "import_seconds=..." and "acm_seconds=..." (best of the repeats) and the ratio.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "import/acm_mp3_decoder.h"
#include "import/import_mp3.h"
#include "import/mp3_scanner.h"
#include "tests/bench/bar_thread.h"

namespace {

double TimeImport(const char* path, const char* folder, HWND bar) {
  double start = bench::Now();
  if (ImportMp3(path, folder, bar) != 1) {
    std::printf("ImportMp3 failed\n");
    std::exit(1);
  }
  return bench::Now() - start;
}

double TimeBareDecode(const char* path, long long* pcmBytes) {
  double start = bench::Now();
  Mp3Scanner scanner;
  scanner.ScanFile(path);
  AcmMp3Decoder decoder;
  if (!decoder.Open(path, scanner.Info(), 0)) {
    std::printf("ACM open failed\n");
    std::exit(1);
  }
  const uint8_t* pcm = nullptr;
  long long total = 0;
  int32_t n;
  while ((n = decoder.Read(&pcm)) >= 0) total += n;
  decoder.Close();
  *pcmBytes = total;
  return bench::Now() - start;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: bench_mp3_import MP3_PATH WORK_FOLDER [REPEATS]\n");
    return 2;
  }
  int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
  if (repeats < 1) repeats = 1;
  // The writer's diagnostics go to standard output; keep them out of the figures.
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);

  bench::BarThread bar;
  double bestImport = 1e9, bestAcm = 1e9;
  long long pcmBytes = 0;
  for (int i = 0; i < repeats; ++i) {
    bestAcm = std::min(bestAcm, TimeBareDecode(argv[1], &pcmBytes));
    bestImport = std::min(bestImport, TimeImport(argv[1], argv[2], bar.Handle()));
  }
  std::printf("\npcm_bytes=%lld\nimport_seconds=%.3f\nacm_seconds=%.3f\n", pcmBytes, bestImport,
              bestAcm);
  std::printf("ImportMp3 / bare ACM decode: %.3f (target: at most 1.10)\n", bestImport / bestAcm);
  return 0;
}
