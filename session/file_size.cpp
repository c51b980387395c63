#include "session/file_size.h"

#include <cstdio>

int32_t FileSizeBytes(const char* fileName) {
  if (fileName == nullptr) return -1;
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return -1;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::fclose(file);
  return static_cast<int32_t>(size);
}
