#include "service/http_server.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "service/web_text.h"

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

class Session;

int64_t WallMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

}  // namespace

struct HttpServer::Impl : std::enable_shared_from_this<HttpServer::Impl> {
  explicit Impl(const HttpLimits& bounds)
      : limits(bounds), contexts(MakeContexts(bounds.threads)), acceptor(*contexts[0]),
        signals(*contexts[0]), graceTimer(*contexts[0]), acceptPause(*contexts[0]) {
    for (auto& context : contexts) guards.emplace_back(context->get_executor());
  }
  // One event loop per thread: a connection stays on its loop, so its handlers never need a
  // strand or another thread. The first loop also accepts and keeps the timers and signals.
  static std::vector<std::unique_ptr<net::io_context>> MakeContexts(int threads) {
    std::vector<std::unique_ptr<net::io_context>> made;
    for (int i = 0; i < (threads < 1 ? 1 : threads); ++i)
      made.push_back(std::make_unique<net::io_context>(1));
    return made;
  }
  net::io_context& Main() { return *contexts[0]; }

  HttpLimits limits;
  Handler handler;
  Refuser refuser;
  Observer observer;
  std::vector<std::unique_ptr<net::io_context>> contexts;
  std::vector<net::executor_work_guard<net::io_context::executor_type>> guards;
  tcp::acceptor acceptor;
  net::signal_set signals;
  net::steady_timer graceTimer;
  net::steady_timer acceptPause;
  std::vector<std::unique_ptr<net::steady_timer>> timers;
  size_t nextContext = 0;

  std::mutex mutex;  // guards the counts, the sessions and `stopping`
  size_t connections = 0;
  std::unordered_map<std::string, size_t> perAddress;
  std::unordered_map<Session*, std::weak_ptr<Session>> sessions;
  std::atomic<bool> stopping{false};  // written under the mutex, read without it
  std::mutex bodyMutex;  // guards the body memory's counts
  uint64_t bodyMemory = 0;  // bytes promised to the bodies being read
  std::unordered_map<std::string, uint64_t> bodyByAddress;

  // Promises `bytes` of the body memory to a body from `address`, or nothing when that would
  // pass the budget or the address's share of it.
  bool TakeBodyMemory(const std::string& address, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(bodyMutex);
    if (bodyMemory + bytes > limits.bodyMemory) return false;
    if (!limits.trustForwardedFor) {
      uint64_t& held = bodyByAddress[address];
      if (held + bytes > limits.bodyMemoryPerAddress) {
        if (held == 0) bodyByAddress.erase(address);
        return false;
      }
      held += bytes;
    }
    bodyMemory += bytes;
    return true;
  }
  void GiveBodyMemory(const std::string& address, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(bodyMutex);
    bodyMemory -= bytes;
    if (limits.trustForwardedFor) return;
    const auto held = bodyByAddress.find(address);
    if (held != bodyByAddress.end() && (held->second -= bytes) == 0) bodyByAddress.erase(held);
  }

  void Accept();
  bool Admit(const std::string& address);
  void Left(Session* session, const std::string& address);
  void StopNow();
  void StopLoops() {
    for (auto& context : contexts) context->stop();
  }
  bool Stopping() const { return stopping.load(std::memory_order_relaxed); }
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, std::shared_ptr<HttpServer::Impl> server, std::string address)
      : stream_(std::move(socket)), deadline_(stream_.get_executor()), server_(std::move(server)),
        address_(std::move(address)) {
    Phase(Watch::Waiting);  // for its request
  }
  ~Session() {
    GiveBodyMemory();
    server_->Left(this, address_);
  }

  // When (steady nanoseconds) the connection would have moved what it has moved at the
  // minimum rate: the earlier, the further behind it is. 0 when it may not be evicted: its
  // request is being handled, or its body or reply is less than a second behind the rate.
  int64_t EvictableDue(int64_t now) const {
    const int64_t since = phaseSince_.load(std::memory_order_relaxed);
    const Watch watch = watch_.load(std::memory_order_relaxed);
    if (since == 0 || watch == Watch::None) return 0;
    if (watch == Watch::Waiting) return since;
    // Bytes moved earn time at the minimum rate, but a connection that has moved nothing
    // for a while (a reply the client does not read) is as far behind as its last move.
    const double rate = static_cast<double>(std::max<uint64_t>(Limits().minBytesPerSecond, 1));
    const int64_t earned =
        since + static_cast<int64_t>(static_cast<double>(moved_.load(std::memory_order_relaxed)) /
                                     rate * 1e9);
    const int64_t due = std::min(earned, lastMoved_.load(std::memory_order_relaxed));
    return due + 1000000000 < now ? due : 0;
  }
  // Closes the connection unless it has meanwhile come to be handled (its slot is wanted).
  void Evict() {
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] {
      if (self->state_ == State::Header || self->state_ == State::Body ||
          self->state_ == State::Writing)
        self->Close();
    });
  }

  void Start() {
    beast::error_code ignored;
    stream_.socket().non_blocking(true, ignored);  // replies are written at once when they can be
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->ReadHeader(); });
  }
  // Closes the connection whatever it is doing (when the stop's grace has run out).
  void Abort() {
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->Close(); });
  }
  // On a stop: a connection that waits for its next request closes now.
  void StopIfIdle() {
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] {
      if (self->state_ == State::Header && !self->parser_->got_some() && self->buffer_.size() == 0)
        self->stream_.cancel();
    });
  }

 private:
  enum class State { Header, Body, Handling, Writing, Closed };
  // What the eviction looks at: a wait for a request, bytes that must keep moving, or nothing.
  enum class Watch { None, Waiting, Moving };
  const HttpLimits& Limits() const { return server_->limits; }

  void Phase(Watch watch) {
    watch_.store(watch, std::memory_order_relaxed);
    moved_.store(0, std::memory_order_relaxed);
    const int64_t now = watch == Watch::None ? 0 : SteadyNanoseconds();
    lastMoved_.store(now, std::memory_order_relaxed);
    phaseSince_.store(now, std::memory_order_relaxed);
  }
  void Moved(size_t bytes) {
    windowBytes_ += bytes;
    moved_.fetch_add(bytes, std::memory_order_relaxed);
  }
  // Bytes moved just now (taken when the connection goes on to wait).
  void Stamp() { lastMoved_.store(SteadyNanoseconds(), std::memory_order_relaxed); }

  // The deadline of a request's line and headers: when it passes, the read is cancelled and
  // the request answered 408 (the stream's own timeout would close the socket first).
  void ReadWithin(std::chrono::seconds limit) {
    deadlineArmed_ = true;
    timedOut_ = false;
    const uint64_t read = ++reads_;
    deadline_.expires_after(limit);
    deadline_.async_wait([self = shared_from_this(), read](beast::error_code ec) {
      if (ec || read != self->reads_ || self->state_ == State::Closed) return;
      self->timedOut_ = true;
      beast::error_code ignored;
      self->stream_.socket().cancel(ignored);
    });
  }

  // The minimum rate of a body or a reply, window by window: a body that falls behind is
  // cancelled and answered 408, a reply is cut.
  void KeepMoving() {
    watching_ = true;
    timedOut_ = false;
    windowBytes_ = 0;
    const uint64_t watch = ++reads_;
    deadline_.expires_after(Limits().progressWindow);
    deadline_.async_wait([self = shared_from_this(), watch](beast::error_code ec) {
      if (ec || watch != self->reads_ || self->state_ == State::Closed) return;
      const HttpLimits& limits = self->Limits();
      const uint64_t needed =
          limits.minBytesPerSecond * static_cast<uint64_t>(limits.progressWindow.count());
      if (self->windowBytes_ >= std::max<uint64_t>(needed, 1)) return self->KeepMoving();
      self->timedOut_ = true;
      if (self->state_ == State::Writing) {
        self->note_ += self->note_.empty() ? "cut: too slow" : "; cut: too slow";
        return self->Close();
      }
      beast::error_code ignored;
      self->stream_.socket().cancel(ignored);
    });
  }
  void StopWatching() {
    if (!watching_ && !deadlineArmed_) return;  // no deadline runs
    watching_ = false;
    deadlineArmed_ = false;
    ++reads_;  // a deadline that fires from now on is not this one's
    deadline_.cancel();
  }

  void GiveBodyMemory() {
    if (bodyMemory_ == 0) return;
    server_->GiveBodyMemory(address_, bodyMemory_);
    bodyMemory_ = 0;
  }

  void NewParser() {
    parser_.emplace();
    parser_->header_limit(Limits().headerBytes);
    parser_->body_limit(Limits().bodyBytes);
  }

  void ReadHeader() {
    state_ = State::Header;
    if (buffer_.capacity() > 16384) buffer_.shrink_to_fit();  // kept connections stay small
    buffer_.max_size(bufferMax_);
    NewParser();
    method_ = "-";
    target_ = "-";
    Phase(Watch::Waiting);
    ReadWithin(first_ ? Limits().headerTimeout : Limits().idleTimeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            beast::bind_front_handler(&Session::OnHeader, shared_from_this()));
  }

  // The request line, when the parser got that far.
  void TakeRequestLine() {
    const auto& request = parser_->get();
    if (!request.method_string().empty()) method_.assign(request.method_string());
    if (!request.target().empty()) target_.assign(request.target());
  }

  // A request line whose version the parser refused: HTTP/1.2 to 1.9 is read again as 1.1
  // (the version's digit changed where it lies, so nothing else moves); a later major gets 505.
  void OnBadVersion() {
    const auto data = buffer_.data();
    char* bytes = static_cast<char*>(data.data());
    const std::string_view held(bytes, data.size());
    const size_t end = held.find('\n');
    const std::string_view line = held.substr(0, end);
    const VersionAnswer answer = ReadRequestVersion(line);
    const size_t space = line.find(' ');
    if (space != std::string_view::npos) {
      method_.assign(line.substr(0, space));
      const size_t second = line.find(' ', space + 1);
      if (second != std::string_view::npos)
        target_.assign(line.substr(space + 1, second - space - 1));
    }
    if (answer == VersionAnswer::Unsupported) return Refuse(505);
    if (answer != VersionAnswer::AsHttp11 || end == std::string_view::npos) return Refuse(400);
    const size_t digit = line.find_last_not_of('\r');  // the minor version's digit
    bytes[digit] = '1';
    NewParser();
    ReadWithin(Limits().headerTimeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            beast::bind_front_handler(&Session::OnHeader, shared_from_this()));
  }

  void OnHeader(beast::error_code ec, size_t) {
    StopWatching();
    if (state_ == State::Closed) return;
    Phase(Watch::None);
    TakeRequestLine();
    if (ec) {
      if (ec == http::error::header_limit) return Refuse(431);
      if (ec == http::error::body_limit) return Refuse(413);  // its Content-Length says so
      if (ec == http::error::bad_version) return OnBadVersion();
      if (!parser_->got_some()) return Close();  // no request came: a closed or idle connection
      if (timedOut_) return Refuse(408);
      return Refuse(400);
    }
    const auto& request = parser_->get();
    // A coding other than "chunked" alone hides where the body ends: reading on would take
    // the rest as the next request. The Host lines must be as HTTP/1.1 asks.
    if (!HostFieldsValid(request.count(http::field::host), request[http::field::host],
                         request.version() >= 11))
      return Refuse(400);
    if (request.count(http::field::transfer_encoding) > 0) {
      HeaderList codings;
      for (const auto& field : request)
        if (field.name() == http::field::transfer_encoding)
          codings.emplace_back("Transfer-Encoding", std::string(field.value()));
      if (!TransferEncodingReadable(codings)) return Refuse(400);
    }
    if (parser_->is_done()) return Dispatch();
    // The body's memory, promised before any of it is read (or asked for with a 100).
    const auto length = parser_->content_length();
    const uint64_t promised = length ? *length : Limits().bodyBytes;
    if (!server_->TakeBodyMemory(address_, promised)) return Refuse(503);
    bodyMemory_ = promised;
    if (beast::iequals(request[http::field::expect], "100-continue")) {
      auto go = std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
      state_ = State::Body;
      Phase(Watch::Moving);
      KeepMoving();
      http::async_write(stream_, *go, [self = shared_from_this(), go](beast::error_code e, size_t) {
        if (e || self->state_ == State::Closed) return self->Close();
        self->ReadBody();
      });
      return;
    }
    ReadBody();
  }

  void ReadBody() {
    if (state_ != State::Body) {
      state_ = State::Body;
      Phase(Watch::Moving);
      KeepMoving();
    }
    // Every byte of the body that has come is taken from the buffer at once.
    parser_->eager(true);
    if (parser_->chunked()) {
      // What is left is an unfinished chunk-size line (extensions are dropped as they are
      // read) or trailer section: the buffer holds chunkMetaBytes of it at most, and a read
      // that finds it full fails, answered 400.
      if (buffer_.size() > 0) {
        beast::error_code ec;
        const size_t used = parser_->put(buffer_.data(), ec);
        buffer_.consume(used);
        if (ec == http::error::need_more) ec = {};
        if (ec || parser_->is_done()) return OnBody(ec, used);
        Moved(used);
      }
      if (buffer_.size() >= Limits().chunkMetaBytes) return OnBody(http::error::buffer_overflow, 0);
      buffer_.max_size(Limits().chunkMetaBytes);
    } else {
      // Beast reads at most what the buffer has room for (512 bytes at least): room for the
      // body, up to 64 KiB, saves dozens of reads per upload.
      const auto length = parser_->content_length_remaining();
      buffer_.reserve(buffer_.size() + static_cast<size_t>(std::min<uint64_t>(length ? *length : 16384, 65536)));
    }
    http::async_read_some(stream_, buffer_, *parser_,
                          beast::bind_front_handler(&Session::OnBody, shared_from_this()));
  }

  void OnBody(beast::error_code ec, size_t bytes) {
    if (state_ == State::Closed) return;
    Moved(bytes);
    if (bytes > 0) Stamp();
    if (!ec && !parser_->is_done()) return ReadBody();
    StopWatching();
    Phase(Watch::None);
    if (ec == http::error::body_limit) return Refuse(413);
    if (timedOut_) return Refuse(408);
    if (ec) return Refuse(400);  // a cut body (the client closed its side) or broken chunks
    Dispatch();
  }

  void Dispatch() {
    state_ = State::Handling;
    Phase(Watch::None);
    whole_ = Clock::now();
    http::request<http::string_body> request = parser_->release();
    keepAlive_ = request.keep_alive();
    WebRequest web;
    web.method.assign(request.method_string());
    web.target.assign(request.target());
    for (const auto& field : request)
      web.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    web.body = std::move(request.body());
    web.clientAddress = address_;
    if (Limits().trustForwardedFor) {
      std::string forwarded = ForwardedClient(web.headers);
      if (!forwarded.empty()) web.clientAddress = AddressKey(forwarded);
    }
    // On this connection's loop: at once when the handler answers there, else queued to it.
    // The loop counts the request as work until the reply is written (after a stop, a loop
    // without work returns, and the store may still be committing).
    auto loop = net::prefer(stream_.get_executor(), net::execution::outstanding_work.tracked);
    auto reply = [self = shared_from_this(), loop](WebReply answer) {
      net::dispatch(loop, [self, answer = std::move(answer)]() mutable {
        self->Write(std::move(answer));
      });
    };
    try {
      server_->handler(std::move(web), reply);
    } catch (const std::exception&) {
      WebReply failed;
      failed.status = 500;
      failed.body = "internal error\n";
      failed.logNote = "handler failed";
      reply(std::move(failed));
    }
  }

  // Answers a request that was not read whole, and reads nothing more of it.
  void Refuse(int status) {
    Phase(Watch::None);
    whole_ = Clock::now();
    close_ = true;
    WebReply reply;
    try {
      reply = server_->refuser(status, target_ == "-" ? std::string() : target_);
    } catch (const std::exception&) {
      reply = WebReply{};
      reply.status = status;
    }
    Write(std::move(reply));
  }

  // The status line and headers of a reply, with its Content-Length (none for a status that
  // has no body) and "Connection: close" when the connection ends after it.
  static std::string HeaderText(const WebReply& reply, bool keep, uint64_t length) {
    const unsigned status = static_cast<unsigned>(reply.status);
    const beast::string_view reason = http::obsolete_reason(static_cast<http::status>(status));
    std::string text;
    text.reserve(256);
    text += "HTTP/1.1 ";
    text += std::to_string(status);
    text += ' ';
    text.append(reason.data(), reason.size());
    text += "\r\n";
    for (const auto& [name, value] : reply.headers) {
      text += name;
      text += ": ";
      text += value;
      text += "\r\n";
    }
    if (!keep) text += "Connection: close\r\n";
    if (!(status / 100 == 1 || status == 204 || status == 304)) {
      text += "Content-Length: ";
      text += std::to_string(length);
      text += "\r\n";
    }
    text += "\r\n";
    return text;
  }

  void Write(WebReply reply) {
    state_ = State::Writing;
    const bool keep = keepAlive_ && !close_ && !server_->Stopping();
    if (method_ == "HEAD") reply.headOnly = true;  // whatever the status: no body
    const bool noBody = reply.status / 100 == 1 || reply.status == 204 || reply.status == 304;
    uint64_t length = 0;
    body_ = {};
    fileLeft_ = 0;
    file_.reset();
    if (!reply.filePath.empty()) {
      std::error_code missing;
      const uintmax_t size = std::filesystem::file_size(reply.filePath, missing);
      if (!reply.headOnly && !noBody && !missing) {
        file_ = std::make_unique<std::ifstream>(reply.filePath, std::ios::binary);
        if (!*file_ || !file_->seekg(static_cast<std::streamoff>(reply.fileOffset)))
          missing = std::make_error_code(std::errc::io_error);
      }
      if (missing) {
        file_.reset();
        WebReply gone;
        gone.status = 404;
        gone.body = "not found\n";
        gone.headOnly = reply.headOnly;
        gone.Set("Content-Type", "text/plain; charset=utf-8");
        return Write(std::move(gone));
      }
      const uint64_t available = reply.fileOffset < size ? size - reply.fileOffset : 0;
      length = reply.fileLength >= 0
                   ? std::min<uint64_t>(available, static_cast<uint64_t>(reply.fileLength))
                   : available;
      if (file_) fileLeft_ = length;
    } else if (reply.lender) {
      lender_ = std::move(reply.lender);
      length = reply.lentBody.size();
      body_ = reply.lentBody;
    } else {
      bodyText_ = std::move(reply.body);
      length = bodyText_.size();
      body_ = bodyText_;
    }
    if (reply.headOnly && reply.headLength >= 0) length = static_cast<uint64_t>(reply.headLength);
    if (reply.headOnly || noBody) body_ = {};
    head_ = HeaderText(reply, keep, length);
    headSent_ = 0;
    piece_ = {};
    fromFile_ = file_ != nullptr;
    bytes_ = noBody || reply.headOnly ? 0 : length;
    status_ = reply.status;
    note_ = std::move(reply.logNote);
    SendSome(keep);  // in the phase of a reply that moves once it has to wait
  }

  // Writes the header and the body (lent or held bytes as they are, a file read a slice at a
  // time), each write taking what the socket takes: what it takes at once goes without
  // waiting (most replies whole); the rest waits for the socket, under the pace's watch, and
  // every byte that goes counts for the pace, however slowly the client reads.
  void SendSome(bool keep) {
    constexpr size_t Slice = 65536;
    for (;;) {
      if (fromFile_ && piece_.empty() && fileLeft_ > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(fileLeft_, Slice));
        slice_.resize(want);
        file_->read(slice_.data(), static_cast<std::streamsize>(want));
        if (static_cast<size_t>(file_->gcount()) != want) {
          note_ += note_.empty() ? "file cut short" : "; file cut short";
          return OnWrite(beast::error_code(net::error::eof), keep);
        }
        fileLeft_ -= want;
        piece_ = std::string_view(slice_.data(), want);
      } else if (!fromFile_ && piece_.empty()) {
        piece_ = body_.substr(0, Slice);
        body_.remove_prefix(piece_.size());
      }
      const std::array<net::const_buffer, 2> buffers{
          net::buffer(head_.data() + headSent_, head_.size() - headSent_),
          net::buffer(piece_.data(), piece_.size())};
      beast::error_code ec;
      const size_t n = stream_.socket().write_some(buffers, ec);  // the socket does not block
      if (ec == net::error::would_block || ec == net::error::try_again) break;
      if (!Wrote(n) || ec) return OnWrite(ec, keep);
    }
    if (watch_.load(std::memory_order_relaxed) != Watch::Moving) Phase(Watch::Moving);
    else Stamp();
    if (!watching_) KeepMoving();
    stream_.socket().async_wait(
        tcp::socket::wait_write, [self = shared_from_this(), keep](beast::error_code ec) {
          if (self->state_ == State::Closed) return;
          if (ec) return self->OnWrite(ec, keep);
          self->SendSome(keep);
        });
  }
  // Takes `n` bytes written off what is to go; false once nothing is left.
  bool Wrote(size_t n) {
    Moved(n);
    const size_t fromHead = std::min(n, head_.size() - headSent_);
    headSent_ += fromHead;
    piece_.remove_prefix(n - fromHead);
    return headSent_ < head_.size() || !piece_.empty() || !body_.empty() || fileLeft_ > 0;
  }

  void OnWrite(beast::error_code ec, bool keep) {
    StopWatching();
    Phase(Watch::None);
    state_ = State::Handling;  // written (or failed): logged here, not again by Close
    const double seconds = std::chrono::duration<double>(Clock::now() - whole_).count();
    server_->observer(RequestLogLine(WallMilliseconds(), method_, target_, status_, bytes_,
                                     seconds * 1000.0, note_),
                      seconds);
    lender_.reset();
    file_.reset();
    bodyText_ = std::string();
    slice_ = std::vector<char>();
    GiveBodyMemory();
    if (ec || !keep) return Close();
    first_ = false;
    ReadHeader();
  }

  void Close() {
    if (state_ == State::Closed) return;
    const bool writing = state_ == State::Writing;
    state_ = State::Closed;
    Phase(Watch::None);
    StopWatching();
    GiveBodyMemory();
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
    // A reply cut here is still logged, with what it had.
    if (writing) {
      const double seconds = std::chrono::duration<double>(Clock::now() - whole_).count();
      server_->observer(RequestLogLine(WallMilliseconds(), method_, target_, status_, bytes_,
                                       seconds * 1000.0, note_.empty() ? "cut" : note_),
                        seconds);
    }
  }

  beast::tcp_stream stream_;
  net::steady_timer deadline_;
  bool timedOut_ = false;
  bool watching_ = false;       // the pace's deadline runs
  bool deadlineArmed_ = false;  // the headers' deadline runs
  uint64_t reads_ = 0;  // watches begun and ended: tells a deadline whether its watch still runs
  uint64_t windowBytes_ = 0;  // bytes moved in the rate's current window
  std::atomic<Watch> watch_{Watch::None};
  std::atomic<int64_t> phaseSince_{0};
  std::atomic<uint64_t> moved_{0};
  std::atomic<int64_t> lastMoved_{0};
  uint64_t bodyMemory_ = 0;  // promised to this connection's body
  beast::flat_buffer buffer_;
  const size_t bufferMax_ = buffer_.max_size();  // no bound but the parser's own limits
  std::optional<http::request_parser<http::string_body>> parser_;
  std::shared_ptr<HttpServer::Impl> server_;
  std::string address_;
  State state_ = State::Header;
  bool first_ = true;
  bool keepAlive_ = false;
  bool close_ = false;
  std::string method_ = "-";
  std::string target_ = "-";
  Clock::time_point whole_;
  std::string head_;                    // the reply being written: its header,
  size_t headSent_ = 0;                 // of which this much has gone;
  std::string bodyText_;                // its body, held here,
  std::shared_ptr<const void> lender_;  // or lent by its owner,
  std::string_view body_;               // of which this is still to go;
  std::unique_ptr<std::ifstream> file_; // or a file, of which
  bool fromFile_ = false;
  uint64_t fileLeft_ = 0;               // this many bytes are still to be read,
  std::vector<char> slice_;             // a slice at a time;
  std::string_view piece_;              // the slice (of either) being written
  int status_ = 0;
  uint64_t bytes_ = 0;
  std::string note_;
};

}  // namespace

void HttpServer::Impl::Accept() {
  net::io_context& loop = *contexts[nextContext++ % contexts.size()];
  acceptor.async_accept(loop, [self = shared_from_this()](beast::error_code ec, tcp::socket socket) {
    if (!self->acceptor.is_open()) return;
    if (ec) {
      // Out of descriptors or a connection that went away: try again in a moment.
      self->acceptPause.expires_after(std::chrono::milliseconds(50));
      self->acceptPause.async_wait([self](beast::error_code e) {
        if (!e) self->Accept();
      });
      return;
    }
    beast::error_code ignored;
    const std::string address = AddressKey(socket.remote_endpoint(ignored).address().to_string());
    if (!self->Admit(address)) {
      socket.close(ignored);  // over the bounds: refused at once
    } else {
      socket.set_option(tcp::no_delay(true), ignored);
      auto session = std::make_shared<Session>(std::move(socket), self, address);
      {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->sessions[session.get()] = session;
      }
      session->Start();
    }
    self->Accept();
  });
}

bool HttpServer::Impl::Admit(const std::string& address) {
  std::shared_ptr<Session> evicted;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) return false;
    const auto mine = perAddress.find(address);
    if (!limits.trustForwardedFor && mine != perAddress.end() &&
        mine->second >= limits.connectionsPerAddress)
      return false;
    if (connections >= limits.maxConnections) {
      // Every slot is taken: the connection furthest behind gives its slot up: the one that
      // has waited longest for its request's line and headers (a slow client, or a kept one
      // that sends nothing), or a body or reply far behind the minimum rate.
      const int64_t now = SteadyNanoseconds();
      int64_t oldest = 0;
      for (const auto& [session, weak] : sessions) {
        const int64_t due = session->EvictableDue(now);
        if (due == 0 || (oldest != 0 && due >= oldest)) continue;
        if (auto held = weak.lock()) {
          evicted = std::move(held);
          oldest = due;
        }
      }
      // One connection over the bound at most, until the evicted one has closed.
      if (!evicted || connections > limits.maxConnections) return false;
    }
    ++perAddress[address];
    ++connections;
  }
  if (evicted) evicted->Evict();
  return true;
}

void HttpServer::Impl::Left(Session* session, const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex);
  sessions.erase(session);
  --connections;
  auto found = perAddress.find(address);
  if (found != perAddress.end() && --found->second == 0) perAddress.erase(found);
  if (stopping && connections == 0)
    net::post(Main(), [self = shared_from_this()] { self->graceTimer.cancel(); });
}

void HttpServer::Impl::StopNow() {
  std::vector<std::shared_ptr<Session>> open;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) return;
    stopping = true;
    for (auto& [key, weak] : sessions)
      if (auto session = weak.lock()) open.push_back(session);
  }
  beast::error_code ignored;
  acceptor.close(ignored);
  acceptPause.cancel();
  signals.cancel(ignored);
  for (auto& timer : timers) timer->cancel();
  for (auto& session : open) session->StopIfIdle();
  open.clear();
  guards.clear();  // a loop without connections may now return
  std::lock_guard<std::mutex> lock(mutex);
  if (connections == 0) return;  // nothing holds the threads: they return
  graceTimer.expires_after(limits.stopGrace);
  graceTimer.async_wait([self = shared_from_this()](beast::error_code ec) {
    if (!ec) self->StopLoops();
  });
}

HttpServer::HttpServer(HttpLimits limits, Handler handler, Refuser refuser, Observer observer)
    : impl_(std::make_shared<Impl>(limits)) {
  impl_->handler = std::move(handler);
  impl_->refuser = std::move(refuser);
  impl_->observer = std::move(observer);
}

HttpServer::~HttpServer() {
  impl_->StopLoops();
}

bool HttpServer::Listen(const std::string& host, uint16_t port, std::string& error) {
  beast::error_code ec;
  tcp::resolver resolver(impl_->Main());
  const auto endpoints = resolver.resolve(host, std::to_string(port),
                                          tcp::resolver::passive | tcp::resolver::numeric_service, ec);
  if (ec || endpoints.empty()) {
    error = host + ": " + (ec ? ec.message() : "no such address");
    return false;
  }
  const tcp::endpoint endpoint = endpoints.begin()->endpoint();
  impl_->acceptor.open(endpoint.protocol(), ec);
  if (!ec) impl_->acceptor.set_option(net::socket_base::reuse_address(true), ec);
  if (!ec) impl_->acceptor.bind(endpoint, ec);
  if (!ec) impl_->acceptor.listen(net::socket_base::max_listen_connections, ec);
  if (ec) {
    error = host + ":" + std::to_string(port) + ": " + ec.message();
    impl_->acceptor.close(ec);
    return false;
  }
  return true;
}

uint16_t HttpServer::Port() const {
  beast::error_code ec;
  const tcp::endpoint endpoint = impl_->acceptor.local_endpoint(ec);
  return ec ? 0 : endpoint.port();
}

void HttpServer::Every(std::chrono::seconds period, std::function<void()> task) {
  auto timer = std::make_unique<net::steady_timer>(impl_->Main());
  net::steady_timer* raw = timer.get();
  impl_->timers.push_back(std::move(timer));
  auto tick = std::make_shared<std::function<void(beast::error_code)>>();
  std::weak_ptr<std::function<void(beast::error_code)>> weakTick = tick;
  *tick = [raw, period, task = std::move(task), weakTick](beast::error_code ec) {
    if (ec) return;
    task();
    raw->expires_after(period);
    if (auto again = weakTick.lock()) raw->async_wait([again](beast::error_code e) { (*again)(e); });
  };
  raw->expires_after(std::chrono::seconds(0));
  raw->async_wait([tick](beast::error_code e) { (*tick)(e); });
}

void HttpServer::StopOnSignals() {
  impl_->signals.add(SIGTERM);
  impl_->signals.add(SIGINT);
  impl_->signals.async_wait([impl = impl_](beast::error_code ec, int) {
    if (!ec) impl->StopNow();
  });
}

void HttpServer::Run() {
  impl_->Accept();
  std::vector<std::thread> pool;
  for (size_t i = 1; i < impl_->contexts.size(); ++i)
    pool.emplace_back([context = impl_->contexts[i].get()] { context->run(); });
  impl_->Main().run();
  for (std::thread& thread : pool) thread.join();
  // The grace ran out: close what is left and let its handlers finish with errors, so that
  // nothing they hold outlives the server.
  std::vector<std::shared_ptr<Session>> left;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (auto& [key, weak] : impl_->sessions)
      if (auto session = weak.lock()) left.push_back(session);
  }
  if (left.empty()) return;
  for (auto& session : left) session->Abort();
  left.clear();
  for (auto& context : impl_->contexts) {
    context->restart();
    context->run();
  }
}

void HttpServer::Stop() {
  net::post(impl_->Main(), [impl = impl_] { impl->StopNow(); });
}
