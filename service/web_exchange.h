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
  std::string filePath;  // when not empty, the body is this file (the installer)
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
