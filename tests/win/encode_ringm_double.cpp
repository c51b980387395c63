// Stand-in for the MMF library in the wrapper tests: "WscCnv" logs every call (to the file
// named by QV_WSC_DOUBLE_LOG) with what it was handed. QV_WSC_DOUBLE_MODE: "grow2" (default:
// asks for more room twice, then writes "MMMD" and the input), "fail" (-1), "nonsense" (claims
// more bytes than the buffer holds).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "encode/mmf_call.h"

namespace {

int calls = 0;

uint32_t Fnv(const uint8_t* p, uint32_t n) {
  uint32_t h = 2166136261u;
  for (uint32_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

}  // namespace

extern "C" __declspec(dllexport) int32_t __stdcall WscCnv(const uint8_t* input, uint32_t length,
                                                          const void* options, uint8_t* output,
                                                          uint32_t capacity, uint8_t* workArea,
                                                          uint32_t optionWord) {
  ++calls;
  const auto* record = static_cast<const MmfOptions*>(options);
  bool textsEmpty = true;
  for (const char* text : record->texts) textsEmpty = textsEmpty && text && text[0] == '\0';
  bool workZero = true;
  for (uint32_t i = 0; i < MmfWorkAreaBytes; ++i) workZero = workZero && workArea[i] == 0;
  std::memset(workArea, 0xAB, MmfWorkAreaBytes);  // a real library scribbles here

  char mode[64] = {};
  GetEnvironmentVariableA("QV_WSC_DOUBLE_MODE", mode, sizeof mode);
  char path[MAX_PATH] = {};
  if (GetEnvironmentVariableA("QV_WSC_DOUBLE_LOG", path, sizeof path)) {
    if (FILE* f = std::fopen(path, "ab")) {
      std::fprintf(f, "call %d length %u capacity %u word %#x first %u second %u texts %s work %s "
                      "input %08x\n",
                   calls, length, capacity, optionWord, record->first, record->second,
                   textsEmpty ? "empty" : "set", workZero ? "zero" : "dirty", Fnv(input, length));
      std::fclose(f);
    }
  }
  if (std::strcmp(mode, "fail") == 0) return -1;
  if (std::strcmp(mode, "nonsense") == 0) return static_cast<int32_t>(capacity) + 1;
  if (calls <= 2) return -2;
  const uint32_t body = length < capacity - 4 ? length : capacity - 4;
  std::memcpy(output, "MMMD", 4);
  std::memcpy(output + 4, input, body);
  return static_cast<int32_t>(4 + body);
}
