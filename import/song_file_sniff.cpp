#include "import/song_file_sniff.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "formats/mp4_boxes.h"
#include "formats/utf8_text.h"
#include "session/handles.h"

namespace {

HANDLE OpenForReading(const char* path) {
  return CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

SongContainer SniffSongFile(const char* path) {
  FileHandle file(OpenForReading(path));
  if (!file) return SongContainer::Unknown;
  std::vector<uint8_t> head(SongSignatureBytes);
  DWORD got = 0;
  if (!ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &got, nullptr)) got = 0;
  file.reset();
  return SniffSongContainer(head.data(), got);
}

bool Mp4SampleTablesFitFile(const char* path) {
  if (SniffSongFile(path) != SongContainer::Mp4) return true;
  const FileHandle file(OpenForReading(path));
  if (!file) return true;
  LARGE_INTEGER size{};
  bool fits = true;
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
    fits = Mp4SampleTablesFit(static_cast<uint64_t>(size.QuadPart),
                              [&](uint64_t offset, std::span<uint8_t> out) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD got = 0;
      return ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &got, &at) &&
             got == out.size();
    });
  }
  return fits;
}
