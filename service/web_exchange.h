// One request and its reply as the handlers see them: plain values, filled and sent by the
// HTTP layer, so that the handlers are tested without a network.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// The value of the first header called `name` (any letter case), or null.
const std::string* FindHeader(const HeaderList& headers, std::string_view name);

// The client behind one reverse proxy: the last address of every X-Forwarded-For line taken
// together (what the nearest proxy saw; the ones before it are the client's own words). ""
// when there is none.
std::string ForwardedClient(const HeaderList& headers);

// Whether a request's Transfer-Encoding (every line of it, joined) can be read: absent, or
// "chunked" alone, the one coding the service knows. Anything else is answered 400 and the
// connection is closed, since its body's end cannot be found.
bool TransferEncodingReadable(const HeaderList& headers);

// The key a client is counted under: its address, or for an IPv6 address (not an IPv4 one
// written as IPv6) its /64 network, "2001:db8:1:2::/64", which one subscriber holds whole.
std::string AddressKey(const std::string& address);

// Whether a request's Host lines are as RFC 9112 (3.2) asks: exactly one for HTTP/1.1, at most
// one for HTTP/1.0, and that one (`value`) a host name, IPv4 address or [IPv6 address] with an
// optional port of at most 65535.
bool HostFieldsValid(size_t hosts, std::string_view value, bool http11);

enum class VersionAnswer {
  Readable,     // HTTP/1.0 or 1.1 as they are
  AsHttp11,     // HTTP/1.2 to 1.9: read as 1.1 (RFC 9110, 2.5: a later minor version)
  Unsupported,  // HTTP/2.0 and later majors: 505
  Bad,          // not an HTTP version: 400
};
// How to answer the version at the end of a request line ("GET / HTTP/1.9").
VersionAnswer ReadRequestVersion(std::string_view requestLine);

struct WebRequest {
  std::string method;  // "GET", "HEAD", "POST", ...
  std::string target;  // as sent: origin form or absolute form
  HeaderList headers;
  std::string body;
  std::string clientAddress;  // who sent it, for the per-address limit

  const std::string* Header(std::string_view name) const { return FindHeader(headers, name); }
};

struct WebReply {
  int status = 200;
  HeaderList headers;    // every header but Content-Length, which the HTTP layer sets
  std::string body;
  std::string filePath;  // when not empty, the body is this file (the installer),
  uint64_t fileOffset = 0;  // from this byte
  int64_t fileLength = -1;  // for this many bytes (-1: to its end)
  // When set, the body is `lentBody`, bytes that `lender` keeps alive and unchanged (sent
  // from where they are, without a copy).
  std::shared_ptr<const void> lender;
  std::string_view lentBody;
  bool headOnly = false; // HEAD: the headers of the body, without the body
  int64_t headLength = -1;  // HEAD: the body's length when `body` does not hold it
  std::string logNote;   // added to the request's log line (never a phone number)

  void Set(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
  }
};
