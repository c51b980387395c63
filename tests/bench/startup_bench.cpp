// Start-up time of Quavella.exe, from process creation to its window being ready (shown and
// waiting for input), side by side with the smallest window program under the same Wine
// session, that program linking Quavella's system libraries, and that program with the child
// controls Quavella's window must have; and the cost of building the window's shape from row runs against one region
// operation per red pixel. Prints figures only.
//
//   startup_bench [rounds [other Quavella.exe]]
//       QV_BIN_DIR: the folder of Quavella.exe; QV_SOURCE_DIR: the sources, for the panel
//       picture. The other program, e.g. an earlier build, is timed in the same rounds.
//
// Every round starts each program once, one after the other, so that a busy machine slows
// them alike; besides the medians of each program, the median of the rounds' own ratios is
// printed, which a changing load disturbs least.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/skin.h"
#include "tests/e2e/driver.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency{};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct FindArgs {
  DWORD pid;
  const char* className;
  HWND found;
};

BOOL CALLBACK FindShown(HWND window, LPARAM param) {
  auto* args = reinterpret_cast<FindArgs*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (pid == args->pid && IsWindowVisible(window) && lstrcmpA(className, args->className) == 0) {
    args->found = window;
    return FALSE;
  }
  return TRUE;
}

// Milliseconds from CreateProcess until the program's window of `className` is visible and the
// program waits for input; -1 on failure. The program is closed afterwards.
double TimeStart(const std::string& exe, const std::string& folder, const char* className) {
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  double start = Now();
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    std::printf("cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
    return -1;
  }
  WaitForInputIdle(process.hProcess, 20000);
  FindArgs args{process.dwProcessId, className, nullptr};
  while (!args.found && Now() - start < 20) {
    EnumWindows(FindShown, reinterpret_cast<LPARAM>(&args));
    if (!args.found) Sleep(1);
  }
  double elapsed = (Now() - start) * 1000;
  if (args.found) PostMessageA(args.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return args.found ? elapsed : -1;
}

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void BenchShape() {
  std::string path = e2e::SourceDir() + "\\resources\\art\\background.bmp";
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  std::vector<uint8_t> pixels;
  int width = 0, height = 0;
  size_t stride = 0;
  if (!ReadBitmapPixels(bitmap, pixels, width, height, stride)) {
    std::printf("shape: cannot read %s\n", path.c_str());
    return;
  }
  DeleteObject(bitmap);
  const int rounds = 20;
  double start = Now();
  for (int i = 0; i < rounds; ++i) {
    std::vector<ShapeRect> rects;
    BuildShapeRects(pixels, width, height, stride, rects);
    DeleteObject(CreateRegionFromRects(rects));
  }
  double runs = (Now() - start) * 1000 / rounds;
  start = Now();
  int red = 0;
  for (int i = 0; i < rounds / 4; ++i) {
    int columns = ShapeColumns(width);
    HRGN region = CreateRectRgn(0, 0, columns, height);
    red = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < columns; ++x)
        if (IsOutsideColour(&pixels[y * stride + 3 * x])) {
          HRGN square = CreateRectRgn(x, y, x + 1, y + 1);
          CombineRgn(region, region, square, RGN_XOR);
          DeleteObject(square);
          ++red;
        }
    DeleteObject(region);
  }
  double perPixel = (Now() - start) * 1000 / (rounds / 4);
  std::printf("shape of the %dx%d panel (%d red pixels): row runs %.2f ms, one region "
              "operation per red pixel %.1f ms\n", width, height, red, runs, perPixel);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  std::string other = argc > 2 ? e2e::WindowsPath(argv[2]) : "";
  std::string dist = e2e::DistDir();
  std::string quavella = dist + "\\Quavella.exe";
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string minimal = self;
  std::string here = minimal.substr(0, minimal.find_last_of('\\') + 1);
  minimal = here + "startup_minimal.exe";
  std::string imports = here + "startup_minimal_imports.exe";
  std::string controls = here + "startup_minimal_controls.exe";
  std::string folder = e2e::FreshFolder("startup_bench");
  e2e::WriteProfile(e2e::Profile{});  // no first-run dialog

  BenchShape();
  // One start of each first, so that all run warm.
  TimeStart(minimal, folder, "QuavellaMinimal");
  TimeStart(quavella, folder, "Quavella");
  TimeStart(imports, folder, "QuavellaMinimal");
  TimeStart(controls, folder, "QuavellaMinimal");
  if (!other.empty()) TimeStart(other, folder, "Quavella");
  std::vector<double> app, baseline, withImports, withControls, otherApp;
  std::vector<double> ratios, controlsRatios, otherRatios;
  for (int i = 0; i < rounds; ++i) {
    double b = TimeStart(minimal, folder, "QuavellaMinimal");
    double a = TimeStart(quavella, folder, "Quavella");
    double c = TimeStart(imports, folder, "QuavellaMinimal");
    double k = TimeStart(controls, folder, "QuavellaMinimal");
    double d = other.empty() ? -1 : TimeStart(other, folder, "Quavella");
    if (a >= 0) app.push_back(a);
    if (b >= 0) baseline.push_back(b);
    if (c >= 0) withImports.push_back(c);
    if (k >= 0) withControls.push_back(k);
    if (d >= 0) otherApp.push_back(d);
    if (a >= 0 && b > 0) ratios.push_back(a / b);
    if (k >= 0 && b > 0) controlsRatios.push_back(k / b);
    if (d >= 0 && b > 0) otherRatios.push_back(d / b);
    std::printf("round %2d: Quavella %7.1f ms   minimal window %7.1f ms   with Quavella's system "
                "libraries %7.1f ms   with its required controls %7.1f ms", i + 1, a, b, c, k);
    if (!other.empty()) std::printf("   other Quavella %7.1f ms", d);
    std::printf("\n");
  }
  double a = Median(app), b = Median(baseline), c = Median(withImports), k = Median(withControls);
  std::printf("start to window ready, median of %d: Quavella %.1f ms, minimal window %.1f ms, "
              "ratio %.2f (target at most 1.3)\n", rounds, a, b, b > 0 ? a / b : 0.0);
  std::printf("minimal window linking the same system libraries: %.1f ms\n", c);
  std::printf("minimal window with the controls Quavella's window must have (common controls' "
              "progress bar, eight owner-drawn buttons, two edit boxes): %.1f ms, ratio %.2f; "
              "Quavella's own start-up work beyond it: %.1f ms\n", k, b > 0 ? k / b : 0.0, a - k);
  std::printf("median of the rounds' ratios to the minimal window: Quavella %.2f, minimal window "
              "with the required controls %.2f\n", Median(ratios), Median(controlsRatios));
  if (!other.empty())
    std::printf("other Quavella (%s): median %.1f ms, median of the rounds' ratios %.2f\n",
                other.c_str(), Median(otherApp), Median(otherRatios));
  return 0;
}
