#include "import/cd_track_import.h"

#include <cstdio>

int ImportCdTrack(const char*, int trackIndex, HWND) {
  std::printf("CD import is not available in this build (track index %d)\n", trackIndex);
  return 0;
}
