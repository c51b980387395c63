// Stand-in for the encoder programs (wav2amr.exe, lame.exe) in the wrapper tests. It writes
// what it was started with to "tool_report.txt" in its current directory, the last line only
// after a pause (so a caller that did not wait sees no "done"), and makes the output file that
// QV_TOOL_DOUBLE_MODE asks for: a copy of the .wav argument (default), "nooutput", "empty", or
// "size:N" bytes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool EndsWith(const char* text, const char* tail) {
  size_t n = std::strlen(text), m = std::strlen(tail);
  return n >= m && _stricmp(text + n - m, tail) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  char directory[MAX_PATH] = {}, program[MAX_PATH] = {}, mode[64] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  GetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", mode, sizeof mode);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);

  std::string report = std::string("commandline=") + GetCommandLineA() + "\n";
  report += std::string("directory=") + directory + "\n";
  report += std::string("program=") + program + "\n";
  char line[128];
  std::snprintf(line, sizeof line, "startflags=%lu show=%u\n", startup.dwFlags,
                startup.wShowWindow);
  report += line;

  const char* input = nullptr;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!input && EndsWith(argv[i], ".wav")) input = argv[i];
    if (!output && (EndsWith(argv[i], ".amr") || EndsWith(argv[i], ".mp3"))) output = argv[i];
  }
  Sleep(300);
  if (output && std::strcmp(mode, "nooutput") != 0) {
    if (FILE* out = std::fopen(output, "wb")) {
      if (std::strncmp(mode, "size:", 5) == 0) {
        long n = std::atol(mode + 5);
        for (long i = 0; i < n; ++i) std::fputc(i & 0xFF, out);
      } else if (std::strcmp(mode, "empty") != 0 && input) {
        if (FILE* in = std::fopen(input, "rb")) {
          int c;
          while ((c = std::fgetc(in)) != EOF) std::fputc(c, out);
          std::fclose(in);
        }
      }
      std::fclose(out);
    }
  }
  report += "done\n";
  if (FILE* r = std::fopen("tool_report.txt", "wb")) {
    std::fwrite(report.data(), 1, report.size(), r);
    std::fclose(r);
  }
  return 0;
}
