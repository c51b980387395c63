#include "service/web_exchange.h"

#include <strings.h>

const std::string* FindHeader(const HeaderList& headers, std::string_view name) {
  for (const auto& [key, value] : headers)
    if (key.size() == name.size() && strncasecmp(key.data(), name.data(), name.size()) == 0)
      return &value;
  return nullptr;
}
