#include "import/import_mp3.h"

#include <cstdio>

int ImportMp3(const char* sourcePath, const char*, HWND) {
  std::printf("MP3 import is not available in this build: %s\n", sourcePath);
  return 0;
}
