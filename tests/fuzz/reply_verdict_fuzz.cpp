#include <cstddef>
#include <cstdint>
#include <vector>

#include "delivery/reply_verdict.h"

// Whatever the server sends, a verdict to open something names only a plain http(s) address
// that stands in the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> copy(data, data + size);  // exact size: reads past the end are caught
  std::string_view text = ReplyText(copy.data(), copy.size());
  if (text.size() > size || text.find('\0') != std::string_view::npos) __builtin_trap();
  ReplyVerdict verdict = ClassifyReply(text);
  if (verdict.kind != ReplyKind::OpenUrl) {
    if (!verdict.url.empty()) __builtin_trap();
    return 0;
  }
  const std::string& url = verdict.url;
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) __builtin_trap();
  if (url.size() > MaxReplyUrlLength || text.find(url) == std::string_view::npos) __builtin_trap();
  for (unsigned char c : url)
    if (c <= ' ' || c >= 127 || c == '"' || c == '\\' || c == '<' || c == '>') __builtin_trap();
  return 0;
}
