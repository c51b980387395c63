// What MmfConverter hands to the MMF library's "WscCnv", and the output buffer's growth: the
// parts of the MMF conversion that need no platform.
//
// The library's entry, stdcall and exported under its plain name:
//   int32_t __stdcall WscCnv(const uint8_t* input, uint32_t inputLength,
//                            const MmfOptions* options, uint8_t* output,
//                            uint32_t outputCapacity, uint8_t* workArea /* 240 bytes */,
//                            uint32_t optionWord /* 0x3002 */);
// It returns the MMF length, -1 when it cannot convert, -2 when the output buffer is too small.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

constexpr uint32_t MmfCapacityCap = 2147483647u;
constexpr uint32_t MmfOptionWord = 0x3002;
constexpr uint32_t MmfWorkAreaBytes = 240;
constexpr int MmfOptionTextCount = 13;
constexpr int32_t MmfResultFailed = -1;
constexpr int32_t MmfResultTooSmall = -2;

// The options record: byte 0, byte 0xF8, then thirteen text fields (pointers to text), all
// empty. The texts are never null.
struct MmfOptions {
  uint8_t first = 0;
  uint8_t second = 0xF8;
  const char* texts[MmfOptionTextCount];
  MmfOptions() {
    for (const char*& text : texts) text = "";
  }
};

// (inputLength + 1000) * 4 without wrapping, capped at MmfCapacityCap.
uint32_t InitialMmfCapacity(uint32_t inputLength);
// Four times the capacity, capped at MmfCapacityCap.
uint32_t NextMmfCapacity(uint32_t capacity);

// Calls `call(capacity)` with an output buffer that `resize(capacity)` provided, starting at
// the initial capacity and growing fourfold for as long as the library answers -2. Returns the
// MMF length (never more than the capacity it was produced in), or -1 when the library failed,
// the capacity is exhausted, the buffer could not grow, or the answer makes no sense.
int32_t ConvertWithGrowth(uint32_t inputLength, const std::function<bool(uint32_t)>& resize,
                          const std::function<int32_t(uint32_t)>& call);

// The input path with its extension replaced by "mmf" (drive, folder and base name kept).
std::string MmfOutputName(const std::string& inputPath);
