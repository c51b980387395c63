#include "service/web_text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <ctime>

#include "service/request_target.h"

namespace {

// Windows-1252 0x80..0x9F; 0 where the code page leaves a hole.
constexpr uint16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t c = static_cast<uint8_t>(text[i]);
    size_t extra;
    uint32_t code;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) { extra = 1; code = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { extra = 2; code = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { extra = 3; code = c & 0x07; }
    else return false;
    if (text.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

// The invisible characters that reorder, hide or blank out text: the direction marks,
// embeddings, overrides and isolates (U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), the
// Arabic letter mark, zero-width space and word joiners, the deprecated format controls, the
// byte order mark, the Mongolian vowel separator, the Hangul fillers (which draw as blanks),
// the line and paragraph separators and NEL, and the tag characters. The zero-width joiner and
// non-joiner stay: scripts and emoji need them.
bool IsInvisibleFormat(uint32_t code) {
  return code == 0x0085 || code == 0x061C || code == 0x115F || code == 0x1160 ||
         code == 0x180E || code == 0x200B || code == 0x200E || code == 0x200F ||
         code == 0x2028 || code == 0x2029 || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2060 && code <= 0x2064) || (code >= 0x2066 && code <= 0x206F) ||
         code == 0x3164 || code == 0xFEFF || code == 0xFFA0 ||
         (code >= 0xE0000 && code <= 0xE007F);
}

// Valid UTF-8 without the invisible format characters.
std::string WithoutInvisible(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const uint8_t c = static_cast<uint8_t>(utf8[i]);
    const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (i + length > utf8.size()) break;
    uint32_t code = length == 1   ? c
                    : length == 2 ? (c & 0x1Fu)
                    : length == 3 ? (c & 0x0Fu)
                                  : (c & 0x07u);
    for (size_t k = 1; k < length; ++k)
      code = code << 6 | (static_cast<uint8_t>(utf8[i + k]) & 0x3Fu);
    if (!IsInvisibleFormat(code)) out.append(utf8.substr(i, length));
    i += length;
  }
  return out;
}

bool IsTokenByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsNameByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_' || c == '.';
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string DisplayText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const bool utf8 = IsValidUtf8(bytes);
  for (char ch : bytes) {
    const uint8_t c = static_cast<uint8_t>(ch);
    if (c < 0x20 || c == 0x7F) out += ' ';
    else if (utf8 || c < 0x80) out += ch;
    else if (c < 0xA0) AppendUtf8(out, Cp1252High[c - 0x80] ? Cp1252High[c - 0x80] : 0xFFFD);
    else AppendUtf8(out, c);
  }
  return WithoutInvisible(out);
}

std::string TokenText(const uint8_t (&bits)[TokenBytes]) {
  static const char Alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string text;
  text.reserve(TokenLength);
  uint32_t buffer = 0;
  int held = 0;
  for (uint8_t byte : bits) {
    buffer = buffer << 8 | byte;
    held += 8;
    while (held >= 6) {
      held -= 6;
      text += Alphabet[buffer >> held & 0x3F];
    }
  }
  if (held > 0) text += Alphabet[buffer << (6 - held) & 0x3F];
  return text;
}

bool IsTokenText(std::string_view text) {
  if (text.size() != TokenLength) return false;
  for (char c : text)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
          c == '-' || c == '_'))
      return false;
  return true;
}

std::string DownloadFileName(std::string_view bytes, std::string_view formatWord) {
  const std::string visible = IsValidUtf8(bytes) ? WithoutInvisible(bytes) : std::string(bytes);
  std::string_view songName = visible;
  const size_t dot = songName.rfind('.');
  if (dot != std::string_view::npos && dot > 0 && songName.size() - dot <= 5) songName = songName.substr(0, dot);
  std::string name;
  for (char c : songName) {
    if (name.size() == 60) break;
    name += IsNameByte(c) ? c : '_';
  }
  while (!name.empty() && (name.front() == '.' || name.front() == '-')) name.erase(0, 1);
  if (name.empty()) name = "ringtone";
  return name + "." + std::string(formatWord);
}

std::string SongTitle(std::string_view songName) {
  // Plain printable ASCII needs no reading as text (the common name, on every download).
  const bool plain = std::all_of(songName.begin(), songName.end(),
                                 [](char c) { return c >= 0x20 && c < 0x7F; });
  const std::string shown = plain ? std::string() : DisplayText(songName);
  std::string_view title = plain ? songName : std::string_view(shown);
  // The program names a ringtone after its song's file: "Song_Name.m4a".
  const size_t dot = title.rfind('.');
  if (dot != std::string_view::npos && title.size() - dot >= 2 && title.size() - dot <= 5 &&
      std::all_of(title.begin() + static_cast<std::ptrdiff_t>(dot) + 1, title.end(),
                  [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
    title = title.substr(0, dot);
  std::string out;
  out.reserve(title.size());
  for (char c : title) {
    if (c == '_') c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out.empty() ? std::string("Ringtone") : out;
}

std::string DownloadDisposition(std::string_view songName, std::string_view formatWord,
                                std::string_view asciiName) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string value;
  value.reserve(96);
  value += "attachment; filename=\"";
  value += asciiName.empty() ? DownloadFileName(songName, formatWord) : std::string(asciiName);
  value += "\"; filename*=UTF-8''";
  const std::string title = SongTitle(songName);
  for (const std::string_view part : {std::string_view(title), std::string_view("."), formatWord}) {
    for (char ch : part) {
      // RFC 5987 attr-char stays; a path separator would not be a file name.
      if (IsTokenByte(ch) || (ch != 0 && std::strchr("!#$&+.^`|~", ch))) {
        value += ch;
      } else if (ch == '/' || ch == '\\') {
        value += '_';
      } else {
        const uint8_t c = static_cast<uint8_t>(ch);
        value += '%';
        value += Hex[c >> 4];
        value += Hex[c & 15];
      }
    }
  }
  return value;
}

std::string UtcDateText(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
  return text;
}

namespace {

void AppendPrintable(std::string& out, std::string_view text, size_t limit) {
  static const char Hex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < text.size() && i < limit; ++i) {
    const uint8_t c = static_cast<uint8_t>(text[i]);
    if (c > 0x20 && c < 0x7F && c != '%') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += Hex[c >> 4];
      out += Hex[c & 15];
    }
  }
}


// Cuts every segment of `path` (between "/", "?", "&", "=", ";", "." and "#") that holds as
// many token characters as a token (an escape "%XX" counting as one) to LoggedTokenLength
// characters and "...", wherever it stands.
void CutTokens(std::string& path) {
  auto separator = [](char c) {
    return c == '/' || c == '?' || c == '&' || c == '=' || c == ';' || c == '.' || c == '#';
  };
  size_t i = 0;
  while (i < path.size()) {
    size_t end = i;
    size_t tokenChars = 0;
    while (end < path.size() && !separator(path[end])) {
      if (path[end] == '%' && end + 2 < path.size() && IsHexDigit(path[end + 1]) &&
          IsHexDigit(path[end + 2])) {
        ++tokenChars;
        end += 3;
        continue;
      }
      tokenChars += IsTokenByte(path[end]);
      ++end;
    }
    if (tokenChars >= TokenLength) {  // cut where it lies: the path only gets shorter
      path.replace(i + LoggedTokenLength, end - i - LoggedTokenLength, "...");
      end = i + LoggedTokenLength + 3;
    }
    i = end + 1;
  }
}

}  // namespace

std::string RequestLogLine(int64_t nowMs, std::string_view method, std::string_view target,
                           int status, uint64_t bytes, double milliseconds,
                           std::string_view note) {
  const std::time_t t = static_cast<std::time_t>(nowMs / 1000);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &parts);
  RequestTarget split;
  std::string path = SplitRequestTarget(target, split)
                         ? (split.query.empty() ? split.path : split.path + "?" + split.query)
                         : std::string(target);
  // A token is all it takes to fetch or delete a ringtone: of every segment that could be one
  // (however the path is spelt), the log keeps the first characters.
  CutTokens(path);
  std::string line = when;
  line += ' ';
  AppendPrintable(line, method, 16);
  line += ' ';
  AppendPrintable(line, path, 300);
  char figures[64];
  std::snprintf(figures, sizeof figures, " %d %llu %.1fms", status,
                static_cast<unsigned long long>(bytes), milliseconds);
  line += figures;
  if (!note.empty()) {
    line += ' ';
    for (char c : note) line += (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) ? ' ' : c;
  }
  line += '\n';
  return line;
}
