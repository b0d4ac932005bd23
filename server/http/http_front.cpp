#include "server/http/http_front.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "server/http/worker_pool.h"

namespace server::http {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kListenId = 0;
constexpr std::uint64_t kWakeId = 1;
constexpr auto kTick = std::chrono::milliseconds(100);
// What a stream may hold unsent before its writer waits.
constexpr std::size_t kStreamBuffer = 1 << 20;
// After an error answer the client may still be sending the request we
// refused; reading (and dropping) it for a moment lets the answer arrive
// instead of being cut by a reset.
constexpr auto kLinger = std::chrono::seconds(2);

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    case 507: return "Insufficient Storage";
    default: return "Status";
  }
}

std::string AddressText(const sockaddr_storage& addr) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (addr.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(addr).sin_addr, text, sizeof text);
  } else if (addr.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(addr).sin6_addr, text, sizeof text);
  }
  return text;
}

struct Connection {
  enum class Phase { Reading, Processing, Writing, Lingering };

  Connection(std::uint64_t i, int f, std::string a, const Limits& limits)
      : id(i), fd(f), address(std::move(a)), parser(limits) {}

  std::uint64_t id;
  int fd;
  std::string address;
  RequestParser parser;
  std::string pending;  // bytes read past the request being answered
  Phase phase = Phase::Reading;
  Clock::time_point request_started{};
  Clock::time_point last_activity{};
  Clock::time_point linger_until{};
  bool continue_sent = false;
  bool keep_alive = true;
  bool head_request = false;  // the answer goes without its body
  bool close_after = false;
  bool linger = false;
  std::string out_head;
  std::string out_body;
  std::size_t out_done = 0;
  std::function<void()> undelivered;
  std::uint32_t events = 0;
  // An answer sent while it is made: its source, whether its end was sent,
  // and whether the connection waits for the next pieces.
  std::shared_ptr<Stream> stream;
  bool stream_ended = false;
  bool stream_waiting = false;
};

}  // namespace

struct Front::Impl {
  FrontOptions options;
  Handler handler;
  ErrorResponder errors;
  int listen_fd = -1;
  int epoll_fd = -1;
  int wake_fd = -1;
  std::atomic<bool> stopping{false};
  bool accept_paused = false;
  Clock::time_point accept_resume{};
  std::unordered_map<std::uint64_t, std::unique_ptr<Connection>> connections;
  std::unordered_map<std::string, std::size_t> per_address;
  std::uint64_t next_id = 2;
  std::mutex done_mutex;
  std::vector<std::pair<std::uint64_t, Response>> done;
  std::vector<std::uint64_t> streams_ready;  // under done_mutex
  WorkerPool pool;

  Impl(FrontOptions o, Handler h, ErrorResponder e)
      : options(std::move(o)), handler(std::move(h)), errors(std::move(e)), pool(options.threads) {}

  ~Impl() {
    for (auto& [id, c] : connections) close(c->fd);
    for (int fd : {listen_fd, epoll_fd, wake_fd}) {
      if (fd >= 0) close(fd);
    }
  }

  void Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = write(wake_fd, &one, sizeof one);
  }

  void Watch(Connection& c, std::uint32_t events) {
    if (c.events == events) return;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = c.id;
    epoll_ctl(epoll_fd, c.events == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, c.fd, &ev);
    c.events = events;
  }

  void Unwatch(Connection& c) {
    if (c.events != 0) epoll_ctl(epoll_fd, EPOLL_CTL_DEL, c.fd, nullptr);
    c.events = 0;
  }

  void Close(Connection& c) {
    if (c.stream) c.stream->Cancel();
    if (c.undelivered) pool.Post(std::move(c.undelivered));
    Unwatch(c);
    close(c.fd);
    if (auto it = per_address.find(c.address); it != per_address.end() && --it->second == 0)
      per_address.erase(it);
    connections.erase(c.id);
  }

  // Makes room for a connection from this address: an idle kept-alive
  // connection goes first; with none, the new one is refused.
  bool MakeRoom(const std::string& address) {
    const auto oldest_idle = [&](const std::string* of) -> Connection* {
      Connection* oldest = nullptr;
      for (auto& [id, c] : connections) {
        if (c->phase != Connection::Phase::Reading || c->parser.Started() || !c->pending.empty()) continue;
        if (of && c->address != *of) continue;
        if (!oldest || c->last_activity < oldest->last_activity) oldest = c.get();
      }
      return oldest;
    };
    if (const auto it = per_address.find(address);
        it != per_address.end() && it->second >= options.max_connections_per_address) {
      Connection* victim = oldest_idle(&address);
      if (!victim) return false;
      Close(*victim);
    }
    if (connections.size() >= options.max_connections) {
      Connection* victim = oldest_idle(nullptr);
      if (!victim) return false;
      Close(*victim);
    }
    return true;
  }

  void AcceptAll() {
    for (;;) {
      sockaddr_storage addr{};
      socklen_t length = sizeof addr;
      const int fd =
          accept4(listen_fd, reinterpret_cast<sockaddr*>(&addr), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
          // Out of descriptors: stop accepting for a moment instead of
          // spinning on a listening socket that stays readable.
          epoll_ctl(epoll_fd, EPOLL_CTL_DEL, listen_fd, nullptr);
          accept_paused = true;
          accept_resume = Clock::now() + kTick;
        }
        return;
      }
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      std::string address = AddressText(addr);
      if (!MakeRoom(address)) {
        const Response r = errors(503, "the server has too many connections open; try again later");
        const std::string text = Serialize(r, false);
        [[maybe_unused]] const auto n = send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        close(fd);
        continue;
      }
      auto c = std::make_unique<Connection>(next_id++, fd, address, options.limits);
      if (options.spool_body) c->parser.SpoolBodiesOf(options.spool_body);
      c->last_activity = Clock::now();
      ++per_address[address];
      Connection& ref = *c;
      connections.emplace(ref.id, std::move(c));
      Watch(ref, EPOLLIN | EPOLLRDHUP);
    }
  }

  static std::string Serialize(const Response& r, bool keep_alive, bool with_body = true) {
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " + Reason(r.status) + "\r\n";
    head += "Content-Type: " + r.content_type + "\r\n";
    for (const auto& [name, value] : r.headers) head += name + ": " + value + "\r\n";
    head += r.stream ? std::string("Transfer-Encoding: chunked\r\n")
                     : "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    head += keep_alive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (with_body) head += r.body;
    return head;
  }

  // An answer of the front itself: the request is not read any further.
  void Refuse(Connection& c, int status, const std::string& message) {
    Response r;
    try {
      r = errors(status, message);
    } catch (...) {
      r.status = status;
    }
    r.status = status;
    c.linger = true;
    c.keep_alive = false;
    c.head_request = false;
    StartWrite(c, std::move(r));
  }

  void StartWrite(Connection& c, Response r) {
    c.close_after = !c.keep_alive || stopping;
    c.out_head = Serialize(r, !c.close_after, false);
    c.out_body = c.head_request ? std::string() : std::move(r.body);
    c.out_done = 0;
    c.undelivered = std::move(r.undelivered);
    c.stream = std::move(r.stream);
    c.stream_ended = false;
    c.stream_waiting = false;
    if (c.stream) {
      const std::uint64_t id = c.id;
      c.stream->Attach([this, id] {
        {
          std::lock_guard lock(done_mutex);
          streams_ready.push_back(id);
        }
        Wake();
      });
    }
    c.phase = Connection::Phase::Writing;
    c.last_activity = Clock::now();
    WriteSome(c);
  }

  // The next pieces of a streamed answer, framed as chunks; false while
  // its writer has nothing new (the connection then waits for it).
  bool NextChunks(Connection& c) {
    std::string pieces;
    bool ended = false;
    c.stream->Take(pieces, ended);
    if (pieces.empty() && !ended) return false;
    char size[32];
    c.out_body.clear();
    if (!pieces.empty()) {
      std::snprintf(size, sizeof size, "%zx\r\n", pieces.size());
      c.out_body = size + pieces + "\r\n";
    }
    if (ended) {
      c.out_body += "0\r\n\r\n";
      c.stream_ended = true;
    }
    c.out_head.clear();
    c.out_done = 0;
    return true;
  }

  void WriteSome(Connection& c) {
    c.stream_waiting = false;
    for (;;) {
      if (!WriteOut(c)) return;  // closed, or waiting for room
      if (!c.stream || c.stream_ended) return Written(c);
      if (!NextChunks(c)) {
        // Until the writer has more: only a closing client is of interest.
        c.stream_waiting = true;
        Watch(c, EPOLLRDHUP);
        return;
      }
    }
  }

  // Writes what waits: true when all of it is out; false at a full socket
  // (watching for room) or when the client is gone (the connection closed).
  bool WriteOut(Connection& c) {
    const std::size_t total = c.out_head.size() + c.out_body.size();
    while (c.out_done < total) {
      iovec parts[2];
      int count = 0;
      if (c.out_done < c.out_head.size()) {
        parts[count++] = {c.out_head.data() + c.out_done, c.out_head.size() - c.out_done};
        parts[count++] = {c.out_body.data(), c.out_body.size()};
      } else {
        const std::size_t at = c.out_done - c.out_head.size();
        parts[count++] = {c.out_body.data() + at, c.out_body.size() - at};
      }
      msghdr message{};
      message.msg_iov = parts;
      message.msg_iovlen = static_cast<std::size_t>(count);
      const ssize_t n = sendmsg(c.fd, &message, MSG_NOSIGNAL);
      if (n > 0) {
        c.out_done += static_cast<std::size_t>(n);
        c.last_activity = Clock::now();
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        Watch(c, EPOLLOUT | EPOLLRDHUP);
        return false;
      }
      Close(c);  // the client is gone: the answer is lost
      return false;
    }
    return true;
  }

  // The whole answer is out.
  void Written(Connection& c) {
    c.stream = nullptr;
    c.undelivered = nullptr;
    c.out_head.clear();
    c.out_body = std::string();
    if (c.close_after) {
      if (!c.linger) return Close(c);
      shutdown(c.fd, SHUT_WR);
      c.phase = Connection::Phase::Lingering;
      c.linger_until = Clock::now() + kLinger;
      Watch(c, EPOLLIN | EPOLLRDHUP);
      return;
    }
    c.phase = Connection::Phase::Reading;
    c.continue_sent = false;
    c.last_activity = Clock::now();
    Watch(c, EPOLLIN | EPOLLRDHUP);
    if (!c.pending.empty()) {
      const std::string pending = std::move(c.pending);
      c.pending.clear();
      Consume(c, pending);
    }
  }

  // Feeds bytes to the request being read. Returns false when the
  // connection stops reading (a complete or refused request, or closed).
  bool Consume(Connection& c, std::string_view data) {
    const bool was_started = c.parser.Started();
    const std::size_t used = c.parser.Feed(data);
    if (!was_started && c.parser.Started()) c.request_started = Clock::now();
    switch (c.parser.state()) {
      case RequestParser::State::Failed:
        Refuse(c, c.parser.error_status(), c.parser.error_message());
        return false;
      case RequestParser::State::Complete:
        c.pending.assign(data.substr(used));
        Dispatch(c);
        return false;
      case RequestParser::State::NeedMore:
        if (c.parser.ExpectsContinue() && !c.continue_sent) {
          c.continue_sent = true;
          static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
          [[maybe_unused]] const auto n =
              send(c.fd, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        return true;
    }
    return true;
  }

  void Dispatch(Connection& c) {
    Request request = c.parser.Take();
    request.peer = c.address;
    c.keep_alive = request.keep_alive;
    c.head_request = request.method == "HEAD";
    c.phase = Connection::Phase::Processing;
    // Only a closing client is of interest while the request is worked on.
    Watch(c, EPOLLRDHUP);
    const std::uint64_t id = c.id;
    auto answered = std::make_shared<std::atomic<bool>>(false);
    Respond respond = [this, id, answered](Response r) {
      if (answered->exchange(true)) return;
      {
        std::lock_guard lock(done_mutex);
        done.emplace_back(id, std::move(r));
      }
      Wake();
    };
    pool.Post([this, request = std::move(request), respond]() mutable {
      try {
        handler(std::move(request), respond);
      } catch (...) {
        try {
          respond(errors(500, "the server could not answer the request"));
        } catch (...) {
          Response r;
          r.status = 500;
          respond(std::move(r));
        }
      }
    });
  }

  void TakeAnswers() {
    std::vector<std::pair<std::uint64_t, Response>> answers;
    std::vector<std::uint64_t> ready;
    {
      std::lock_guard lock(done_mutex);
      answers.swap(done);
      ready.swap(streams_ready);
    }
    for (const std::uint64_t id : ready) {
      const auto it = connections.find(id);
      if (it != connections.end() && it->second->stream_waiting) WriteSome(*it->second);
    }
    for (auto& [id, response] : answers) {
      const auto it = connections.find(id);
      if (it == connections.end() || it->second->phase != Connection::Phase::Processing) {
        if (response.undelivered) pool.Post(std::move(response.undelivered));
        continue;
      }
      StartWrite(*it->second, std::move(response));
    }
  }

  void Read(Connection& c) {
    char buffer[64 * 1024];
    // A few reads per turn, so that one fast sender does not starve the rest.
    for (int turn = 0; turn < 8; ++turn) {
      const ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        c.last_activity = Clock::now();
        if (c.phase == Connection::Phase::Lingering) continue;
        if (!Consume(c, std::string_view(buffer, static_cast<std::size_t>(n)))) return;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      return Close(c);  // the client closed, or the connection failed
    }
  }

  void OnEvent(std::uint64_t id, std::uint32_t events) {
    const auto it = connections.find(id);
    if (it == connections.end()) return;
    Connection& c = *it->second;
    switch (c.phase) {
      case Connection::Phase::Reading:
      case Connection::Phase::Lingering: Read(c); return;
      case Connection::Phase::Processing:
        // The client went away while its request was being answered: the
        // answer, when it comes, has nobody to go to.
        if (events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) Close(c);
        return;
      case Connection::Phase::Writing:
        if (events & EPOLLOUT) return WriteSome(c);
        if (events & (EPOLLHUP | EPOLLERR)) return Close(c);
        if (c.stream_waiting && (events & EPOLLRDHUP)) return Close(c);
        return;
    }
  }

  void CheckDeadlines() {
    const auto now = Clock::now();
    if (accept_paused && now >= accept_resume) {
      epoll_event ev{};
      ev.events = EPOLLIN;
      ev.data.u64 = kListenId;
      epoll_ctl(epoll_fd, EPOLL_CTL_ADD, listen_fd, &ev);
      accept_paused = false;
    }
    std::vector<std::uint64_t> late, idle;
    for (auto& [id, c] : connections) {
      switch (c->phase) {
        case Connection::Phase::Reading:
          if (c->parser.Spooling()) {
            // A body of any size may take its time, but not a pause.
            if (now - c->last_activity > options.idle_timeout) late.push_back(id);
          } else if (c->parser.Started() && now - c->request_started > options.request_timeout) {
            late.push_back(id);
          } else if (!c->parser.Started() && c->pending.empty() &&
                     now - c->last_activity > options.idle_timeout) {
            idle.push_back(id);
          }
          break;
        case Connection::Phase::Writing:
          // A streamed answer waiting for its writer is not the client's delay.
          if (!c->stream_waiting && now - c->last_activity > options.idle_timeout) idle.push_back(id);
          break;
        case Connection::Phase::Lingering:
          if (now >= c->linger_until) idle.push_back(id);
          break;
        case Connection::Phase::Processing: break;
      }
    }
    for (auto id : idle) {
      if (auto it = connections.find(id); it != connections.end()) Close(*it->second);
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(options.request_timeout).count();
    const auto pause = std::chrono::duration_cast<std::chrono::seconds>(options.idle_timeout).count();
    for (auto id : late) {
      if (auto it = connections.find(id); it != connections.end()) {
        Refuse(*it->second, 408,
               it->second->parser.Spooling()
                   ? "the request body stopped arriving for " + std::to_string(pause) + " s"
                   : "the request was not complete within " + std::to_string(seconds) + " s");
      }
    }
  }
};

bool Stream::Write(std::string_view piece) {
  std::function<void()> ready;
  {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return cancelled_ || waiting_.size() < kStreamBuffer; });
    if (cancelled_ || closed_) return false;
    waiting_.append(piece);
    ready = ready_;
  }
  if (ready) ready();
  return true;
}

void Stream::Close() {
  std::function<void()> ready;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    ready = ready_;
  }
  if (ready) ready();
}

void Stream::Attach(std::function<void()> ready) {
  bool pending = false;
  {
    std::lock_guard lock(mutex_);
    ready_ = ready;
    pending = !waiting_.empty() || closed_;
  }
  if (pending) ready();
}

void Stream::Take(std::string& pieces, bool& ended) {
  {
    std::lock_guard lock(mutex_);
    pieces.swap(waiting_);
    waiting_.clear();
    ended = closed_;
  }
  room_.notify_all();
}

void Stream::Cancel() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    ready_ = nullptr;
  }
  room_.notify_all();
}

Front::Front(FrontOptions options, Handler handler, ErrorResponder errors)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(handler), std::move(errors))) {}

Front::~Front() {
  Stop();
  impl_->pool.Shutdown();
}

int Front::Bind() {
  auto& d = *impl_;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(d.options.port);
  const std::string where = d.options.listen + ":" + port;
  if (getaddrinfo(d.options.listen.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
    throw std::runtime_error("cannot listen on " + where + ": unknown address");
  }
  std::string reason = "no address";
  for (addrinfo* a = found; a && d.listen_fd < 0; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 1024) == 0) {
      d.listen_fd = fd;
    } else {
      reason = std::strerror(errno);
      close(fd);
    }
  }
  freeaddrinfo(found);
  if (d.listen_fd < 0) throw std::runtime_error("cannot listen on " + where + ": " + reason);

  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  getsockname(d.listen_fd, reinterpret_cast<sockaddr*>(&bound), &length);
  const int chosen = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6&>(bound).sin6_port)
                                                 : ntohs(reinterpret_cast<sockaddr_in&>(bound).sin_port);

  d.epoll_fd = epoll_create1(EPOLL_CLOEXEC);
  d.wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (d.epoll_fd < 0 || d.wake_fd < 0)
    throw std::runtime_error(std::string("cannot serve: ") + std::strerror(errno));
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = kListenId;
  epoll_ctl(d.epoll_fd, EPOLL_CTL_ADD, d.listen_fd, &ev);
  ev.data.u64 = kWakeId;
  epoll_ctl(d.epoll_fd, EPOLL_CTL_ADD, d.wake_fd, &ev);
  return chosen;
}

void Front::Serve() {
  auto& d = *impl_;
  if (d.epoll_fd < 0) throw std::runtime_error("the server is not bound to an address");
  epoll_event events[64];
  auto next_check = Clock::now() + kTick;
  while (!d.stopping) {
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(next_check - Clock::now()).count();
    const int n = epoll_wait(d.epoll_fd, events, 64, wait > 0 ? static_cast<int>(wait) : 0);
    for (int i = 0; i < n && !d.stopping; ++i) {
      const std::uint64_t id = events[i].data.u64;
      if (id == kListenId) {
        d.AcceptAll();
      } else if (id == kWakeId) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto r = read(d.wake_fd, &count, sizeof count);
        d.TakeAnswers();
      } else {
        d.OnEvent(id, events[i].events);
      }
    }
    if (Clock::now() >= next_check) {
      d.CheckDeadlines();
      next_check = Clock::now() + kTick;
    }
  }
  std::vector<std::uint64_t> ids;
  for (auto& [id, c] : d.connections) ids.push_back(id);
  for (auto id : ids) {
    auto& c = *d.connections.at(id);
    c.undelivered = nullptr;
    d.Close(c);
  }
  d.pool.Shutdown();
}

void Front::Stop() {
  impl_->stopping = true;
  if (impl_->wake_fd >= 0) impl_->Wake();
}

void Front::Post(std::function<void()> task) { impl_->pool.Post(std::move(task)); }

}  // namespace server::http
