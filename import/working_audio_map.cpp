#include <windows.h>

#include "formats/utf8_text.h"
#include "formats/wav_file.h"
#include "import/working_audio.h"
#include "session/session_state.h"
#include "session/working_audio.h"

void ReleaseWorkingAudio() {
  WorkingAudio& audio = workingAudio;
  sessionState.fileLoaded = false;
  if (audio.base) UnmapViewOfFile(audio.base);
  if (audio.mapping) CloseHandle(audio.mapping);
  if (audio.file != INVALID_HANDLE_VALUE) CloseHandle(audio.file);
  const uint32_t loads = audio.loads;
  audio = WorkingAudio{};
  audio.loads = loads;
}

bool MapWorkingAudio(bool* headerMessageShown) {
  if (headerMessageShown) *headerMessageShown = false;
  ReleaseWorkingAudio();
  WorkingAudio& audio = workingAudio;

  audio.file = CreateFileW(Widen(WorkingFilePath("d.wav").c_str()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (audio.file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(audio.file, &size) || size.QuadPart == 0 || size.QuadPart > 0x7FFFFFFF) {
    ReleaseWorkingAudio();
    return false;
  }
  audio.fileBytes = static_cast<uint32_t>(size.QuadPart);
  audio.mapping = CreateFileMappingA(audio.file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!audio.mapping) {
    ReleaseWorkingAudio();
    return false;
  }
  audio.base = static_cast<const uint8_t*>(MapViewOfFile(audio.mapping, FILE_MAP_READ, 0, 0, 0));
  if (!audio.base) {
    ReleaseWorkingAudio();
    return false;
  }

  WavWalk walk = WalkWavChunks({audio.base, audio.fileBytes});
  if (!walk.headerValid) {
    MessageBoxA(nullptr, "Invalid Wave Header", "error", MB_OK);
    if (headerMessageShown) *headerMessageShown = true;
  }
  if (walk.result != WavWalkResult::Loaded) {
    ReleaseWorkingAudio();
    return false;
  }
  audio.formatBlock = audio.base + walk.formatOffset;
  audio.chunkCursor = audio.base + walk.dataHeaderOffset;
  audio.samples = audio.base + walk.dataOffset;
  audio.dataSize = walk.dataSize;

  if (sessionState.loadCount == 0) sessionState.loadCount = 1;
  ++audio.loads;
  sessionState.fileLoaded = true;
  return true;
}
