// Test helper for the shipped encoders, run under Wine:
//   encoders_win_tool mmf <input.wav> [initial capacity]
//     loads ringm.dll (from this tool's PATH search: pass its folder as the current folder
//     or in PATH) and converts the way the program's MMF converter does: options record
//     0, 0xF8 and thirteen empty texts, a zeroed 240-byte work area, option word 0x3002, capacity
//     (length + 1000) * 4 growing fourfold on -2. Writes <input>.mmf beside the input and
//     prints each call's result. Exit 0 on success, 2 on a failed conversion, 3 when the
//     call broke its contract (not stdcall, or wrote past the 240-byte work area).
//   encoders_win_tool run <program path> <parameter text> <start folder>
//     starts the program with the command line "<program path>", two spaces and the
//     parameter text, hidden, in the start folder; waits and exits with its exit code
//     (255 when it cannot start).
//   encoders_win_tool m4r <input.wav> <output.m4r>
//     encodes the clip (16-bit stereo 44,100 Hz) as the program's iPhone ringtone, through
//     FFmpeg's DLLs beside this tool. Exit 0 on success, 2 when the clip or the encoding fails.
#include <windows.h>

#include <climits>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "encoders/inprocess/ringtone_encoder.h"
#include "encoders/ringm/wsc_cnv.h"
#include "tests/bench/clip_measure.h"

namespace {

using WscCnvProc = int32_t(__stdcall*)(const uint8_t*, uint32_t, const WscCnvOptions*, uint8_t*,
                                       uint32_t, uint8_t*, uint32_t);

int ConvertMmf(const char* path, const char* capacityText) {
  HMODULE library = LoadLibraryA("ringm.dll");
  if (!library) return std::printf("ringm.dll not found\n"), 2;
  auto convert = reinterpret_cast<WscCnvProc>(GetProcAddress(library, "WscCnv"));
  if (!convert) return std::printf("WscCnv not exported\n"), 2;

  FILE* in = std::fopen(path, "rb");
  if (!in) return std::printf("cannot open %s\n", path), 2;
  std::vector<uint8_t> input;
  int c;
  while ((c = std::fgetc(in)) != EOF) input.push_back(static_cast<uint8_t>(c));
  std::fclose(in);

  WscCnvOptions options;
  for (const char*& text : options.text) text = "";
  uint8_t workArea[WscCnvWorkAreaBytes + 16] = {};
  std::memset(workArea + WscCnvWorkAreaBytes, 0x5A, 16);  // must stay as it is
  uint64_t wanted = capacityText ? std::strtoull(capacityText, nullptr, 10)
                                 : (static_cast<uint64_t>(input.size()) + 1000) * 4;
  uint32_t capacity = static_cast<uint32_t>(wanted > INT_MAX ? INT_MAX : wanted);
  std::vector<uint8_t> output(capacity);
  int32_t r;
  for (;;) {
    // A stdcall callee removes its 28 bytes of arguments: the stack pointer is the same
    // after the call as before it.
    uint32_t before, after;
    asm volatile("movl %%esp, %0" : "=r"(before) : : "memory");
    r = convert(input.data(), static_cast<uint32_t>(input.size()), &options, output.data(),
                capacity, workArea, WscCnvOptionWord);
    asm volatile("movl %%esp, %0" : "=r"(after) : : "memory");
    std::printf("WscCnv(capacity %u) = %d\n", capacity, r);
    if (before != after) return std::printf("WscCnv is not stdcall\n"), 3;
    for (int i = 0; i < 16; ++i) {
      if (workArea[WscCnvWorkAreaBytes + i] != 0x5A) return std::printf("work area overrun\n"), 3;
    }
    if (r != WscCnvOutputTooSmall || capacity == INT_MAX) break;
    uint64_t grown = static_cast<uint64_t>(capacity) * 4;
    capacity = static_cast<uint32_t>(grown > INT_MAX ? INT_MAX : grown);
    output.resize(capacity);
  }
  if (r < 0) return 2;

  std::string out = path;
  size_t dot = out.find_last_of('.');
  size_t slash = out.find_last_of("\\/");
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) out.resize(dot);
  out += ".mmf";
  FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) return std::printf("cannot write %s\n", out.c_str()), 2;
  std::fwrite(output.data(), 1, static_cast<size_t>(r), f);
  std::fclose(f);
  return 0;
}

int RunProgram(const char* program, const char* parameters, const char* folder) {
  std::string commandLine = std::string("\"") + program + "\"  " + parameters;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                      &startup, &process)) {
    std::printf("cannot start %s (error %lu)\n", program, GetLastError());
    return 255;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 255;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

int EncodeM4rFile(const char* clip, const char* ringtone) {
  uint32_t rate = 0;
  int channels = 0;
  const std::vector<uint8_t> data = clipbench::ReadWavData(clip, &rate, &channels);
  if (data.empty()) return std::printf("cannot read %s\n", clip), 2;
  std::vector<int16_t> samples(data.size() / 2);
  std::memcpy(samples.data(), data.data(), samples.size() * 2);
  const PcmClip pcm{samples, channels, static_cast<int>(rate)};
  return EncodeM4r(pcm, ringtone) ? 0 : (std::printf("encoding failed\n"), 2);
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "mmf" && (argc == 3 || argc == 4)) return ConvertMmf(argv[2], argc == 4 ? argv[3] : nullptr);
  if (mode == "run" && argc == 5) return RunProgram(argv[2], argv[3], argv[4]);
  if (mode == "m4r" && argc == 4) return EncodeM4rFile(argv[2], argv[3]);
  std::fprintf(stderr, "usage: encoders_win_tool mmf <in.wav> [capacity] | "
                       "run <program> <parameters> <folder> | m4r <in.wav> <out.m4r>\n");
  return 64;
}
