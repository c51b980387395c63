// Times the WAV branch of the import on a file it converts: ImportWavFile (map the file,
// convert to 16 bits, write d.wav, move a progress bar on a window thread of its own, as in
// the program), and the conversion loop alone over the mapped bytes, writing nothing.
//   bench_wav_convert.exe WAV_PATH WORK_FOLDER [REPEATS]
// Prints "import_seconds=..." and "loop_seconds=..." (best of the repeats).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/import_wav_file.h"
#include "import/pcm16_converter.h"
#include "import/wav_format.h"
#include "tests/bench/bar_thread.h"

namespace {

std::vector<uint8_t> ReadWhole(const char* path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path, "rb")) {
    uint8_t buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: bench_wav_convert WAV_PATH WORK_FOLDER [REPEATS]\n");
    return 2;
  }
  int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
  if (repeats < 1) repeats = 1;
  // The writer's diagnostics go to standard output; keep them out of the figures.
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  std::string destination = std::string(argv[2]) + "\\d.wav";

  std::vector<uint8_t> file = ReadWhole(argv[1]);
  WavImportPlan plan = PlanWavImport(file);
  if (plan.action != WavImportAction::Convert) {
    std::printf("the file is not one the import converts\n");
    return 1;
  }

  bench::BarThread bar;
  double bestImport = 1e9, bestLoop = 1e9;
  for (int i = 0; i < repeats; ++i) {
    double start = bench::Now();
    uint64_t sum = 0;
    ConvertToPcm16(plan.data, plan.format, ~0ull, [&](std::span<const int16_t> s, size_t) {
      sum += static_cast<uint16_t>(s.back());
      return true;
    });
    bestLoop = std::min(bestLoop, bench::Now() - start);
    if (sum == 1) std::printf(" ");  // keeps the loop from being optimised away

    start = bench::Now();
    std::string refusal;
    if (ImportWavFile(argv[1], destination.c_str(), bar.Handle(), &refusal) != 1) {
      std::printf("ImportWavFile refused the file: %s\n", refusal.c_str());
      return 1;
    }
    bestImport = std::min(bestImport, bench::Now() - start);
  }
  std::printf("\nsource_bytes=%zu\nimport_seconds=%.3f\nloop_seconds=%.3f\n", file.size(),
              bestImport, bestLoop);
  return 0;
}
