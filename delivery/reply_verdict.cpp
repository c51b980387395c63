#include "delivery/reply_verdict.h"

#include <cstring>

namespace {

bool IsReplySpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool EqualsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

// Characters that may stand in a URL as written (RFC 3986 unreserved, reserved and '%').
bool IsUrlCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return c != '\0' && std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr;
}

// Where the first "http://" or "https://" starts, or npos.
size_t FindWebAddress(std::string_view text) {
  size_t from = 0;
  while (true) {
    size_t at = text.find("http", from);
    if (at == std::string_view::npos) return at;
    std::string_view rest = text.substr(at + 4);
    if (rest.starts_with("://") || rest.starts_with("s://")) return at;
    from = at + 1;
  }
}

}  // namespace

std::string_view ReplyText(const char* bytes, size_t count) {
  if (bytes == nullptr) return std::string_view();
  const void* nul = std::memchr(bytes, '\0', count);
  return std::string_view(bytes, nul ? static_cast<const char*>(nul) - bytes : count);
}

ReplyVerdict ClassifyReply(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsReplySpace(text[start])) ++start;
  text.remove_prefix(start);

  if (EqualsIgnoringCase(text, "success")) return ReplyVerdict{ReplyKind::Success, {}};
  if (EqualsIgnoringCase(text, "error")) return ReplyVerdict{ReplyKind::Error, {}};

  size_t at = FindWebAddress(text);
  if (at == std::string_view::npos) return ReplyVerdict{};
  size_t end = at;
  while (end < text.size() && !IsReplySpace(text[end])) ++end;
  std::string_view token = text.substr(at, end - at);
  if (token.size() > MaxReplyUrlLength) return ReplyVerdict{};
  for (char c : token)
    if (!IsUrlCharacter(c)) return ReplyVerdict{};
  // A host must follow the "//": not empty, not starting a path, query or fragment.
  size_t hostAt = token.find("//") + 2;
  if (hostAt >= token.size() || std::strchr("/?#@:", token[hostAt]) != nullptr)
    return ReplyVerdict{};
  return ReplyVerdict{ReplyKind::OpenUrl, std::string(token)};
}
