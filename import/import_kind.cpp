#include "import/import_kind.h"

#include <cctype>
#include <cstring>
#include <string>

ImportKind ImportKindOf(const char* path) {
  size_t n = path ? std::strlen(path) : 0;
  if (n < 3) return ImportKind::Unknown;
  std::string ext;
  for (size_t i = n - 3; i < n; ++i)
    ext += static_cast<char>(std::tolower(static_cast<unsigned char>(path[i])));
  if (ext == "mp3") return ImportKind::Mp3;
  if (ext == "cda") return ImportKind::CdTrack;
  if (ext == "wav") return ImportKind::Wav;
  return ImportKind::Unknown;
}

int CdTrackIndexOf(const char* path) {
  size_t n = path ? std::strlen(path) : 0;
  if (n < 6) return -1;
  char tens = path[n - 6], ones = path[n - 5];
  if (!std::isdigit(static_cast<unsigned char>(tens)) ||
      !std::isdigit(static_cast<unsigned char>(ones)))
    return -1;
  return (tens - '0') * 10 + (ones - '0') - 1;
}
