// The parts of an HTTP request that the service reads as text: the request target (in the
// origin form browsers send, or the absolute form that requests through a proxy carry), the
// query, and the Range header of downloads.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct RequestTarget {
  std::string path;   // starts with "/"
  std::string query;  // after "?", without it; empty when there is none
};

// Splits an origin-form target ("/path?query") or an absolute-form one
// ("http://host:80/path?query", scheme in any letter case; an empty path is "/"). A fragment
// is dropped. False for anything else: an empty target, "*", the authority form, another
// scheme, or bytes below 0x21 or above 0x7E.
bool SplitRequestTarget(std::string_view target, RequestTarget& split);

// The value of the first parameter called `name` in a query ("a=1&b=2"), percent-decoded,
// with "+" read as a space. Nothing when the parameter is absent; an empty text when it has
// no "=" or no value. Malformed escapes are kept as they are.
std::optional<std::string> QueryParameter(std::string_view query, std::string_view name);

struct ByteRange {
  uint64_t first = 0;  // first byte served
  uint64_t last = 0;   // last byte served, inclusive
};

enum class RangeAnswer {
  Whole,          // no usable Range: serve every byte (also for several ranges or other units)
  Partial,        // serve `range` with 206
  Unsatisfiable,  // 416: the range starts past the end
};

// Reads a Range header ("bytes=0-99", "bytes=100-", "bytes=-50") against a representation of
// `size` bytes. Only a single range is served; a list of several ranges gets the whole
// representation, as a server may choose.
RangeAnswer ReadByteRange(std::string_view header, uint64_t size, ByteRange& range);
