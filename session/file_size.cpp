#include "formats/utf8_text.h"
#include "session/file_size.h"

#include <cstdio>

#include "session/ringtone_format.h"
#include "session/unique_handle.h"

int32_t FileSizeBytes(const char* fileName) {
  if (fileName == nullptr) return -1;
  StdioFile file(OpenFileUtf8(fileName, "rb"));
  if (!file) return -1;
  long size = -1;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
  return static_cast<int32_t>(size);
}

int64_t FileSizeBytes64(const char* fileName) {
  if (fileName == nullptr) return -1;
  StdioFile file(OpenFileUtf8(fileName, "rb"));
  if (!file) return -1;
  int64_t size = -1;
#ifdef _WIN32
  if (_fseeki64(file.get(), 0, SEEK_END) == 0) size = _ftelli64(file.get());
#else
  if (fseeko(file.get(), 0, SEEK_END) == 0) size = ftello(file.get());
#endif
  return size;
}

bool ReadFileBytes(const char* fileName, size_t limit, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const int64_t size = FileSizeBytes64(fileName);
  if (size < 0 || static_cast<uint64_t>(size) > limit) return false;
  StdioFile file(OpenFileUtf8(fileName, "rb"));
  if (!file) return false;
  bytes.resize(static_cast<size_t>(size));
  const bool whole = std::fread(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  file.reset();
  if (!whole) bytes.clear();
  return whole;
}

int64_t RingtoneFileDurationMs(int32_t format, const char* fileName) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  std::vector<uint8_t> bytes;
  if (!facts || !facts->duration || !ReadFileBytes(fileName, RingtoneByteLimit, bytes)) return -1;
  return facts->duration(bytes);
}
