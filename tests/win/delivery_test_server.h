// A small HTTP server on the loopback interface for the upload tests and benchmarks: it
// records every request it receives, byte for byte, and answers as told (a reply, or one of
// the faults a real server can show). Builds with Winsock and with POSIX sockets.
#pragma once
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TestServerReply {
  enum Mode {
    Answer,        // read the whole request, then answer `status` with `body`
    ResetMidBody,  // read `resetAfter` bytes of the body, then reset the connection
    NeverAnswer,   // read the whole request and keep the connection open without a word
    CloseAtOnce,   // read the whole request and close without answering
  };
  Mode mode = Answer;
  int status = 200;
  std::string body = "success";
  size_t resetAfter = 0;
};

struct RecordedRequest {
  std::string head;  // request line and headers, up to and including the empty line
  std::string body;  // the bytes received after the head
  bool complete = false;  // the body has all of its Content-Length

  // The value of a header (name matched ignoring case), or "" when absent.
  std::string Header(const std::string& name) const;
  std::string RequestLine() const { return head.substr(0, head.find("\r\n")); }
};

class TestServer {
 public:
  TestServer() = default;
  ~TestServer() { Stop(); }
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // Listens on 127.0.0.1 at a free port. False if the socket could not be set up.
  bool Start();
  void Stop();
  int Port() const { return port_; }

  void SetReply(const TestServerReply& reply);
  std::vector<RecordedRequest> Requests();
  int Connections() const { return connections_; }

  // A loopback port where nothing listens (for "server down").
  static int UnusedPort();

 private:
  void Run();
  void Serve(long long socket);

  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  long long listener_ = -1;
  int port_ = 0;
  std::mutex mutex_;
  TestServerReply reply_;
  std::vector<RecordedRequest> requests_;
  std::vector<long long> held_;  // connections kept open by NeverAnswer
};
