#pragma once
#include <windows.h>

#include <cstdint>

#include "session/handles.h"

// One MMF conversion through the library "ringm.dll" (or `libraryName`) and its export
// "WscCnv".
class MmfConverter {
 public:
  explicit MmfConverter(const char* libraryName = "ringm.dll");
  MmfConverter(const MmfConverter&) = delete;
  MmfConverter& operator=(const MmfConverter&) = delete;

  // Reads the WAV file `inputPath`, converts it, and writes the MMF data beside it under the
  // same base name with the extension "mmf". False when the library or its export is absent,
  // the input cannot be read ("Could not open input file"), the conversion fails or runs out
  // of room, or the output cannot be written ("Could not save file").
  bool Convert(const char* inputPath);

 private:
  using WscCnvProc = int32_t(__stdcall*)(const uint8_t*, uint32_t, const void*, uint8_t*, uint32_t,
                                         uint8_t*, uint32_t);
  Module library_;
  WscCnvProc entry_ = nullptr;
};
