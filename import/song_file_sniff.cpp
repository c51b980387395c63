#include "import/song_file_sniff.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "formats/mp4_boxes.h"
#include "formats/utf8_text.h"

SongContainer SniffSongFile(const char* path) {
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return SongContainer::Unknown;
  std::vector<uint8_t> head(SongSignatureBytes);
  DWORD got = 0;
  if (!ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr)) got = 0;
  CloseHandle(file);
  return SniffSongContainer(head.data(), got);
}

bool Mp4SampleTablesFitFile(const char* path) {
  if (SniffSongFile(path) != SongContainer::Mp4) return true;
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  LARGE_INTEGER size{};
  bool fits = true;
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    fits = Mp4SampleTablesFit(static_cast<uint64_t>(size.QuadPart),
                              [&](uint64_t offset, std::span<uint8_t> out) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD got = 0;
      return ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &got, &at) &&
             got == out.size();
    });
  }
  CloseHandle(file);
  return fits;
}
