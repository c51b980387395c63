// A minimal client for the service's tests: sends raw bytes, as a test chooses them, over
// one TCP connection and reads replies that carry a Content-Length.
#pragma once
#include <cstdint>
#include <string>

#include "service/web_exchange.h"

struct HttpAnswer {
  int status = 0;  // 0: no reply (the connection closed first)
  HeaderList headers;
  std::string body;
  std::string raw;  // everything read for this reply, 100 Continue included

  const std::string* Header(const std::string& name) const { return FindHeader(headers, name); }
};

class HttpClient {
 public:
  // From the loopback address `from` ("127.0.0.2": another client) when given, with a small
  // receive buffer when `receiveBuffer` is not 0 (a client that reads slowly holds the reply).
  explicit HttpClient(uint16_t port, const char* from = nullptr, int receiveBuffer = 0);
  // Reads up to `bytes` bytes as they come, within `seconds`; what was read, in order.
  std::string ReadRaw(size_t bytes, int seconds = 20);
  ~HttpClient();
  bool Connected() const { return fd_ >= 0; }

  bool Send(const std::string& bytes);
  // Closes the sending side: the server reads an end of input.
  void FinishSending();
  // Reads one reply; `head` for a reply to HEAD (no body follows its headers). Gives up after
  // `seconds`.
  HttpAnswer Read(bool head = false, int seconds = 20);
  // True when a reply (or the end) has arrived and waits to be read; never waits itself.
  // Read(head, 0) then reads what has arrived.
  bool HasReply();
  // True when the server has closed the connection (reads an end of input within `seconds`).
  bool ClosedByServer(int seconds = 20);

 private:
  bool Fill(int seconds);
  int fd_ = -1;
  std::string pending_;
};

// One request on a new connection, and its reply.
HttpAnswer Exchange(uint16_t port, const std::string& request, bool head = false);

// "GET TARGET HTTP/1.1" with a Host header and any `extra` header lines (each ending in CRLF).
std::string GetRequest(const std::string& target, const std::string& extra = "",
                       const std::string& method = "GET");
