#include "formats/utf8_text.h"
#include "session/file_size.h"

#include <cstdio>

#include "session/ringtone_format.h"

int32_t FileSizeBytes(const char* fileName) {
  if (fileName == nullptr) return -1;
  FILE* file = OpenFileUtf8(fileName, "rb");
  if (file == nullptr) return -1;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::fclose(file);
  return static_cast<int32_t>(size);
}

int64_t FileSizeBytes64(const char* fileName) {
  if (fileName == nullptr) return -1;
  FILE* file = OpenFileUtf8(fileName, "rb");
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

bool ReadFileBytes(const char* fileName, size_t limit, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const int64_t size = FileSizeBytes64(fileName);
  if (size < 0 || static_cast<uint64_t>(size) > limit) return false;
  FILE* file = OpenFileUtf8(fileName, "rb");
  if (file == nullptr) return false;
  bytes.resize(static_cast<size_t>(size));
  const bool whole = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  std::fclose(file);
  if (!whole) bytes.clear();
  return whole;
}

int64_t RingtoneFileDurationMs(int32_t format, const char* fileName) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  std::vector<uint8_t> bytes;
  if (!facts || !facts->duration || !ReadFileBytes(fileName, RingtoneByteLimit, bytes)) return -1;
  return facts->duration(bytes);
}
