#include "service/web_exchange.h"

#include <strings.h>

#include <vector>

const std::string* FindHeader(const HeaderList& headers, std::string_view name) {
  for (const auto& [key, value] : headers)
    if (key.size() == name.size() && strncasecmp(key.data(), name.data(), name.size()) == 0)
      return &value;
  return nullptr;
}

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The items of every `name` line, in order, as one comma-separated list.
std::vector<std::string_view> ListItems(const HeaderList& headers, std::string_view name) {
  std::vector<std::string_view> items;
  for (const auto& [key, value] : headers) {
    if (key.size() != name.size() || strncasecmp(key.data(), name.data(), name.size()) != 0)
      continue;
    std::string_view rest = value;
    for (;;) {
      const size_t comma = rest.find(',');
      items.push_back(Trimmed(rest.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return items;
}

}  // namespace

std::string ForwardedClient(const HeaderList& headers) {
  const std::vector<std::string_view> items = ListItems(headers, "X-Forwarded-For");
  return items.empty() ? std::string() : std::string(items.back());
}

bool TransferEncodingReadable(const HeaderList& headers) {
  const std::vector<std::string_view> items = ListItems(headers, "Transfer-Encoding");
  return items.empty() ||
         (items.size() == 1 && items.front().size() == 7 &&
          strncasecmp(items.front().data(), "chunked", 7) == 0);
}
