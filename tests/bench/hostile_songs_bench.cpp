// Peak private bytes of Quavella.exe while it opens one song through Browse: sampled every
// few milliseconds from outside (the process's commit charge) from the moment the song is chosen
// until the program has refused it (a message box) or loaded it. Figures only.
//   hostile_songs_bench LABEL SONG refused|loaded
//       QV_BIN_DIR: the folder of Quavella.exe (a copy is started in a fresh folder).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/e2e/driver.h"

namespace {

// The process's private bytes: its commit charge (PagefileUsage, which Windows reports as
// private bytes; Wine fills it, but not PrivateUsage, for another process), the higher of the
// current and the peak figure.
SIZE_T PrivateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
  return std::max(counters.PagefileUsage, counters.PeakPagefileUsage);
}

double Megabytes(SIZE_T bytes) { return static_cast<double>(bytes) / 1048576.0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::printf("usage: hostile_songs_bench LABEL SONG refused|loaded\n");
    return 2;
  }
  const std::string label = argv[1], song = argv[2];
  const bool expectLoaded = std::string(argv[3]) == "loaded";
  e2e::App app;
  if (!app.Launch()) {
    std::printf("%s: the program did not start\n", label.c_str());
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.ProcessId());
  if (!process) {
    std::printf("%s: cannot watch the program\n", label.c_str());
    return 1;
  }
  Sleep(300);
  const SIZE_T idle = PrivateBytes(process);
  std::atomic<bool> watching{true};
  std::atomic<SIZE_T> peak{idle};
  std::thread watcher([&] {
    while (watching) {
      const SIZE_T now = PrivateBytes(process);
      if (now > peak) peak = now;
      Sleep(5);
    }
  });

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  std::string outcome;
  if (!app.BrowseTo(song)) {
    outcome = "Browse failed";
  } else if (expectLoaded) {
    outcome = app.WaitLoaded(180000) ? "loaded" : "not loaded";
  } else {
    HWND box = e2e::WaitForAnyDialog(app.ProcessId(), 180000);
    outcome = box ? "refused: \"" + e2e::MessageBoxText(box) + "\"" : "no message";
    if (box) e2e::PressButton(box);
  }
  QueryPerformanceCounter(&end);
  Sleep(200);  // what is freed after the box or the load
  watching = false;
  watcher.join();
  CloseHandle(process);
  std::printf("%s: %s after %.2f s\n  peak private bytes %.1f MB (idle program %.1f MB, %.1f MB "
              "above it)\n",
              label.c_str(), outcome.c_str(),
              static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart,
              Megabytes(peak), Megabytes(idle), Megabytes(peak - idle));
  return 0;
}
