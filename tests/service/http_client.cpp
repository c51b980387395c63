#include "tests/service/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

HttpClient::HttpClient(uint16_t port, const char* from, int receiveBuffer) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ >= 0 && receiveBuffer > 0)
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  if (fd_ >= 0 && from) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

HttpClient::~HttpClient() {
  if (fd_ >= 0) ::close(fd_);
}

bool HttpClient::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string HttpClient::ReadRaw(size_t bytes, int seconds) {
  while (pending_.size() < bytes && Fill(seconds)) {
  }
  const std::string taken = pending_.substr(0, bytes);
  pending_.erase(0, taken.size());
  return taken;
}

void HttpClient::FinishSending() { ::shutdown(fd_, SHUT_WR); }

bool HttpClient::Fill(int seconds) {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, seconds * 1000) <= 0) return false;
  char buffer[65536];
  const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  pending_.append(buffer, static_cast<size_t>(n));
  return true;
}

HttpAnswer HttpClient::Read(bool head, int seconds) {
  HttpAnswer answer;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  auto left = [&] {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(
                                deadline - std::chrono::steady_clock::now())
                                .count()) +
           1;
  };
  for (;;) {
    size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos)
      if (std::chrono::steady_clock::now() >= deadline || !Fill(left())) return answer;
    const std::string head_ = pending_.substr(0, end + 4);
    answer.raw += head_;
    pending_.erase(0, end + 4);
    answer.status = std::atoi(head_.substr(9, 3).c_str());
    answer.headers.clear();
    size_t at = head_.find("\r\n") + 2;
    while (at < end) {
      const size_t lineEnd = head_.find("\r\n", at);
      const std::string line = head_.substr(at, lineEnd - at);
      const size_t colon = line.find(':');
      answer.headers.emplace_back(line.substr(0, colon),
                                  line.substr(line.find_first_not_of(' ', colon + 1)));
      at = lineEnd + 2;
    }
    if (answer.status != 100) break;  // an interim reply: the real one follows
  }
  const std::string* length = answer.Header("Content-Length");
  const size_t want = head || !length ? 0 : std::strtoul(length->c_str(), nullptr, 10);
  while (pending_.size() < want)
    if (std::chrono::steady_clock::now() >= deadline || !Fill(left())) break;
  answer.body = pending_.substr(0, want);
  answer.raw += answer.body;
  pending_.erase(0, answer.body.size());
  return answer;
}

bool HttpClient::HasReply() {
  pollfd p{fd_, POLLIN, 0};
  if (pending_.empty() && ::poll(&p, 1, 0) > 0) {
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return true;  // the end
    pending_.append(buffer, static_cast<size_t>(n));
  }
  return !pending_.empty();
}

bool HttpClient::ClosedByServer(int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 200) < 0) return false;
    if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buffer[4096];
    if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) return true;  // a reply before it is fine
  }
  return false;
}

HttpAnswer Exchange(uint16_t port, const std::string& request, bool head) {
  HttpClient client(port);
  if (!client.Connected() || !client.Send(request)) return {};
  return client.Read(head);
}

std::string GetRequest(const std::string& target, const std::string& extra,
                       const std::string& method) {
  return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}
