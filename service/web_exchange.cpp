#include "service/web_exchange.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cstring>

#include <cctype>
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

std::string AddressKey(const std::string& address) {
  in6_addr v6{};
  if (inet_pton(AF_INET6, address.c_str(), &v6) != 1 || IN6_IS_ADDR_V4MAPPED(&v6)) return address;
  std::memset(v6.s6_addr + 8, 0, 8);
  char text[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, &v6, text, sizeof text);
  return std::string(text) + "/64";
}

namespace {

bool HostValid(std::string_view host) {
  std::string_view name = host;
  std::string_view port;
  if (!host.empty() && host.front() == '[') {
    const size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    const std::string literal(host.substr(1, close - 1));
    in6_addr v6{};
    if (inet_pton(AF_INET6, literal.c_str(), &v6) != 1) return false;
    name = {};
    const std::string_view rest = host.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    if (!rest.empty()) port = rest.substr(1);
  } else {
    const size_t colon = host.find(':');
    if (colon != std::string_view::npos) {
      name = host.substr(0, colon);
      port = host.substr(colon + 1);
    }
  }
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._~%!$&'()*+,;=", c)))
      return false;
  if (port.size() > 5) return false;
  uint32_t value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value <= 65535;
}

}  // namespace

bool HostFieldsValid(size_t hosts, std::string_view value, bool http11) {
  return hosts == 1 ? HostValid(Trimmed(value)) : hosts == 0 && !http11;
}

VersionAnswer ReadRequestVersion(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const size_t space = line.rfind(' ');
  const std::string_view version = space == std::string_view::npos ? line : line.substr(space + 1);
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || !digit(version[5]) ||
      version[6] != '.' || !digit(version[7]))
    return VersionAnswer::Bad;
  if (version[5] == '1')
    return version[7] <= '1' ? VersionAnswer::Readable : VersionAnswer::AsHttp11;
  return version[5] == '0' ? VersionAnswer::Bad : VersionAnswer::Unsupported;
}
