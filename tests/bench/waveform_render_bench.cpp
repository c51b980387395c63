// Time of drawing the strip's trace for a 283-second stereo song (16-bit, 44100 Hz, just under
// the import limit): the trace points alone and, on Windows, RenderWaveform over a mapped
// d.wav onto the canvas. Prints figures; never fails on time.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "view/waveform_trace.h"

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "session/session_state.h"
#include "session/working_audio.h"
#include "view/waveform_view.h"
#endif

namespace {

constexpr uint32_t Seconds = 283, Rate = 44100, Channels = 2;
constexpr uint32_t DataSize = Seconds * Rate * Channels * 2;

std::vector<uint8_t> MakeWav() {
  std::vector<uint8_t> wav(44 + static_cast<size_t>(DataSize));
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) wav[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [&](size_t at, uint32_t v) {
    wav[at] = static_cast<uint8_t>(v);
    wav[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  std::copy_n("RIFF", 4, wav.begin());
  put32(4, 36 + DataSize);
  std::copy_n("WAVEfmt ", 8, wav.begin() + 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, Channels);
  put32(24, Rate);
  put32(28, Rate * Channels * 2);
  put16(32, Channels * 2);
  put16(34, 16);
  std::copy_n("data", 4, wav.begin() + 36);
  put32(40, DataSize);
  uint32_t noise = 1;
  for (size_t i = 44; i + 1 < wav.size(); i += 2) {
    noise = noise * 1664525u + 1013904223u;
    put16(i, (noise >> 16) & 0xFFFF);
  }
  return wav;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

template <typename F>
void Report(const char* what, int runs, F&& run) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    times.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  }
  std::printf("%-44s first %8.2f ms", what, times.front());
  std::sort(times.begin(), times.end());
  std::printf("   min %8.2f ms   median %8.2f ms  (%d runs)\n", times.front(),
              times[times.size() / 2], runs);
}

}  // namespace

int main() {
  std::vector<uint8_t> wav = MakeWav();
  TraceSource source{DataSize, Rate * Channels * 2, Rate, 16};
  TracePlan plan = PlanTrace(source);
  std::printf("283 s stereo 16-bit 44100 Hz: %u data bytes, N %u, K %u\n", DataSize,
              plan.valueCount, plan.step);
  size_t points = 0;
  Report("trace points (portable)", 20, [&] {
    points = TracePoints(source, {wav.data() + 44, DataSize}).size();
  });
  std::printf("  %zu points\n", points);

#ifdef _WIN32
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  std::string path = std::string(folder) + "quavella_bench_d.wav";
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  bool ok = out != INVALID_HANDLE_VALUE &&
            WriteFile(out, wav.data(), static_cast<DWORD>(wav.size()), &written, nullptr) &&
            written == wav.size();
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  wav.clear();
  wav.shrink_to_fit();
  if (!ok) {
    std::printf("could not write %s\n", path.c_str());
    return 0;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  const uint8_t* base =
      mapping ? static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))
              : nullptr;
  if (!base) {
    std::printf("could not map %s\n", path.c_str());
    return 0;
  }
  workingAudio.formatBlock = base + 20;
  workingAudio.samples = base + 44;
  workingAudio.dataSize = DataSize;
  sessionState.fileLoaded = true;
  sessionState.loadCount = 1;
  sessionState.instance = GetModuleHandleA(nullptr);

  HDC screen = GetDC(nullptr);
  Report("RenderWaveform (mapped d.wav, first is cold)", 10, [&] {
    RenderWaveform(nullptr, screen);
    ReleaseWaveCanvas();
  });
  ReleaseDC(nullptr, screen);
  UnmapViewOfFile(base);
  CloseHandle(mapping);
  CloseHandle(file);
  DeleteFileA(path.c_str());
#endif
  return 0;
}
