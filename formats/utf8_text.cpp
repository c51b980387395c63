#include "formats/utf8_text.h"

#include <cstdint>

namespace {

constexpr char32_t Replacement = 0xFFFD;

// The code point starting at text[i] and its length in bytes (1 for an invalid start).
char32_t DecodeAt(std::string_view text, size_t i, size_t* length) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  *length = 1;
  if (lead < 0x80) return lead;
  size_t count;
  char32_t value;
  char32_t least;
  if ((lead & 0xE0) == 0xC0) {
    count = 2, value = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    count = 3, value = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    count = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return Replacement;
  }
  if (text.size() - i < count) return Replacement;
  for (size_t k = 1; k < count; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return Replacement;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return Replacement;
  *length = count;
  return value;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    size_t length;
    char32_t c = DecodeAt(utf8, i, &length);
    i += length;
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
  }
  return out;
}

std::string Utf8FromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = Replacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

size_t Utf8CutLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  size_t cut = maxBytes;
  // Step back over continuation bytes to the start of the character that would be split.
  while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

std::string PathInFolder(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path(folder);
  if (!IsSeparator(path.back())) path += '\\';
  path += name;
  return path;
}

std::string FolderOfPath(std::string_view path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string NameOfPath(std::string_view path) {
  size_t slash = path.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

#ifdef _WIN32
std::wstring Widen(std::string_view utf8) {
  std::u16string wide = Utf16FromUtf8(utf8);
  return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(std::wstring_view wide) {
  return Utf8FromUtf16(std::u16string(wide.begin(), wide.end()));
}

std::FILE* OpenFileUtf8(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) return nullptr;
  return _wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

int RemoveFileUtf8(const char* path) { return path ? _wremove(Widen(path).c_str()) : -1; }

int RenameFileUtf8(const char* from, const char* to) {
  return from && to ? _wrename(Widen(from).c_str(), Widen(to).c_str()) : -1;
}
#else
std::FILE* OpenFileUtf8(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) return nullptr;
  return std::fopen(path, mode);
}

int RemoveFileUtf8(const char* path) { return path ? std::remove(path) : -1; }

int RenameFileUtf8(const char* from, const char* to) {
  return from && to ? std::rename(from, to) : -1;
}
#endif
