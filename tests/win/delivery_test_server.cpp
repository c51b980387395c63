#include "tests/win/delivery_test_server.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
using SockLen = int;
const SocketHandle NoSocket = INVALID_SOCKET;
void CloseSocket(SocketHandle s) { closesocket(s); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
using SocketHandle = int;
using SockLen = socklen_t;
const SocketHandle NoSocket = -1;
void CloseSocket(SocketHandle s) { close(s); }
#endif

namespace {

void EnsureSockets() {
#ifdef _WIN32
  static bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
#endif
}

void SetReceiveTimeout(SocketHandle s, int ms) {
#ifdef _WIN32
  DWORD value = static_cast<DWORD>(ms);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value), sizeof value);
#else
  timeval value{ms / 1000, (ms % 1000) * 1000};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
#endif
}

void Reset(SocketHandle s) {
  linger hard{1, 0};
  setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
  CloseSocket(s);
}

bool SendAll(SocketHandle s, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const char* ReasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  std::string wanted = Lower(name) + ":";
  size_t at = head.find("\r\n");
  while (at != std::string::npos && at + 2 < head.size()) {
    size_t end = head.find("\r\n", at + 2);
    if (end == std::string::npos) break;
    std::string line = head.substr(at + 2, end - at - 2);
    if (Lower(line.substr(0, wanted.size())) == wanted) {
      size_t v = wanted.size();
      while (v < line.size() && line[v] == ' ') ++v;
      return line.substr(v);
    }
    at = end;
  }
  return std::string();
}

bool TestServer::Start() {
  EnsureSockets();
  SocketHandle s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == NoSocket) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  SockLen length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseSocket(s);
    return false;
  }
  listener_ = static_cast<long long>(s);
  port_ = ntohs(address.sin_port);
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TestServer::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  thread_.join();
  CloseSocket(static_cast<SocketHandle>(listener_));
  listener_ = -1;
  std::lock_guard<std::mutex> lock(mutex_);
  for (long long s : held_) CloseSocket(static_cast<SocketHandle>(s));
  held_.clear();
}

void TestServer::SetReply(const TestServerReply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  reply_ = reply;
}

std::vector<RecordedRequest> TestServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int TestServer::UnusedPort() {
  TestServer probe;
  if (!probe.Start()) return 1;
  int port = probe.Port();
  probe.Stop();
  return port;
}

void TestServer::Run() {
  SocketHandle listener = static_cast<SocketHandle>(listener_);
  while (!stopping_) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener, &ready);
    timeval wait{0, 50 * 1000};
    if (select(static_cast<int>(listener) + 1, &ready, nullptr, nullptr, &wait) <= 0) continue;
    SocketHandle client = accept(listener, nullptr, nullptr);
    if (client == NoSocket) continue;
    ++connections_;
    Serve(static_cast<long long>(client));
  }
}

void TestServer::Serve(long long handle) {
  SocketHandle client = static_cast<SocketHandle>(handle);
  SetReceiveTimeout(client, 20000);
  TestServerReply reply;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reply = reply_;
  }
  RecordedRequest request;
  std::string received;
  char buffer[16384];
  size_t headEnd = std::string::npos;
  size_t bodyLength = 0;
  bool reset = false;
  while (true) {
    if (headEnd != std::string::npos) {
      size_t bodyBytes = received.size() - headEnd;
      if (reply.mode == TestServerReply::ResetMidBody && bodyBytes >= reply.resetAfter) {
        reset = true;
        break;
      }
      if (bodyBytes >= bodyLength) {
        request.complete = true;
        break;
      }
    }
    int n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
    if (headEnd == std::string::npos) {
      size_t at = received.find("\r\n\r\n");
      if (at == std::string::npos) continue;
      headEnd = at + 4;
      request.head = received.substr(0, headEnd);
      bodyLength = static_cast<size_t>(std::strtoull(request.Header("Content-Length").c_str(),
                                                     nullptr, 10));
    }
  }
  if (headEnd != std::string::npos) request.body = received.substr(headEnd);
  else request.head = received;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  if (reset) {
    Reset(client);
    return;
  }
  switch (reply.mode) {
    case TestServerReply::NeverAnswer: {
      std::lock_guard<std::mutex> lock(mutex_);
      held_.push_back(handle);
      return;
    }
    case TestServerReply::CloseAtOnce:
      CloseSocket(client);
      return;
    default: break;
  }
  char head[256];
  std::snprintf(head, sizeof head,
                "HTTP/1.1 %d %s\r\nContent-Type: text/html\r\nContent-Length: %zu\r\n"
                "Connection: close\r\n\r\n",
                reply.status, ReasonOf(reply.status), reply.body.size());
  SendAll(client, head + reply.body);
#ifdef _WIN32
  shutdown(client, SD_SEND);
#else
  shutdown(client, SHUT_WR);
#endif
  CloseSocket(client);  // the whole request was read, so this is a graceful close
}
