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

int64_t FileSizeBytes64(const char* fileName) {
  if (fileName == nullptr) return -1;
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return -1;
  int64_t size = -1;
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) == 0) size = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) == 0) size = ftello(file);
#endif
  std::fclose(file);
  return size;
}
