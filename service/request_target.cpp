#include "service/request_target.h"

#include <cctype>

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodeQueryText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// Digits only, no sign, at most 19 of them (so the value fits 64 bits).
bool ReadDecimal(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool SplitRequestTarget(std::string_view target, RequestTarget& split) {
  for (char c : target)
    if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E) return false;
  if (StartsWithNoCase(target, "http://") || StartsWithNoCase(target, "https://")) {
    const size_t authority = target.find("://") + 3;
    const size_t pathAt = target.find_first_of("/?#", authority);
    if (authority == target.size() || pathAt == authority) return false;  // no host
    target = pathAt == std::string_view::npos ? std::string_view() : target.substr(pathAt);
  } else if (target.empty() || target[0] != '/') {
    return false;
  }
  target = target.substr(0, target.find('#'));
  const size_t question = target.find('?');
  const std::string_view path = target.substr(0, question);
  split.path = path.empty() ? std::string("/") : std::string(path);
  split.query = question == std::string_view::npos ? std::string()
                                                    : std::string(target.substr(question + 1));
  return true;
}

std::optional<std::string> QueryParameter(std::string_view query, std::string_view name) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const size_t equals = pair.find('=');
    if (DecodeQueryText(pair.substr(0, equals)) == name)
      return equals == std::string_view::npos ? std::string() : DecodeQueryText(pair.substr(equals + 1));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return std::nullopt;
}

RangeAnswer ReadByteRange(std::string_view header, uint64_t size, ByteRange& range) {
  header = Trim(header);
  if (!StartsWithNoCase(header, "bytes=")) return RangeAnswer::Whole;
  const std::string_view ranges = Trim(header.substr(6));
  if (ranges.find(',') != std::string_view::npos) return RangeAnswer::Whole;
  const size_t dash = ranges.find('-');
  if (dash == std::string_view::npos) return RangeAnswer::Whole;
  const std::string_view from = Trim(ranges.substr(0, dash));
  const std::string_view to = Trim(ranges.substr(dash + 1));
  uint64_t a = 0, b = 0;
  if (from.empty()) {  // the last b bytes
    if (!ReadDecimal(to, b)) return RangeAnswer::Whole;
    if (b == 0 || size == 0) return RangeAnswer::Unsatisfiable;
    range.first = b >= size ? 0 : size - b;
    range.last = size - 1;
    return RangeAnswer::Partial;
  }
  if (!ReadDecimal(from, a)) return RangeAnswer::Whole;
  if (to.empty()) {
    b = UINT64_MAX;
  } else if (!ReadDecimal(to, b) || b < a) {
    return RangeAnswer::Whole;  // an invalid range is ignored
  }
  if (a >= size) return RangeAnswer::Unsatisfiable;
  range.first = a;
  range.last = b < size - 1 ? b : size - 1;
  return RangeAnswer::Partial;
}
