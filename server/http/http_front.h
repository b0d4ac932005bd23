#pragma once
// The HTTP/1.1 front of the server: one thread owns every connection and
// reads and writes without blocking; complete requests go to a pool of
// workers. A client that sends slowly, or connects and sends nothing, costs
// a connection slot and a few bytes, never a worker, and every request has a
// deadline for its headers and body. Connections are capped in all and per
// client address; at the cap, idle kept-alive connections are closed first.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/http/http_request_parser.h"

namespace server::http {

// The body of an answer sent while it is made, in chunks: the handler
// writes pieces from its own thread and the front sends them as they come.
// A writer is held back while much is waiting to be sent, so that a slow
// client costs a bounded buffer.
class Stream {
 public:
  // Queues a piece; waits while more than a megabyte waits to be sent.
  // False once the client is gone: the rest would go nowhere.
  bool Write(std::string_view piece);
  // The end of the body; nothing may be written after it.
  void Close();

  // The front's side: `ready` runs (on the writer's thread) when there is
  // something to send or the end; Take moves out what waits.
  void Attach(std::function<void()> ready);
  void Take(std::string& pieces, bool& ended);
  void Cancel();

 private:
  std::mutex mutex_;
  std::condition_variable room_;
  std::string waiting_;
  bool closed_ = false, cancelled_ = false;
  std::function<void()> ready_;
};

struct Response {
  int status = 200;
  std::string content_type = "application/json";
  std::string body;
  // Instead of `body`: a body written while it is made (sent chunked).
  std::shared_ptr<Stream> stream;
  // Headers of the answer's own ("WWW-Authenticate" ...), names as sent.
  std::vector<std::pair<std::string, std::string>> headers;
  // Runs (on a worker) when the response could not be handed to the client
  // because the connection was gone: what the reply handed over is lost.
  std::function<void()> undelivered;
};

// Answers a request exactly once, from any thread.
using Respond = std::function<void(Response)>;
// Runs on a worker for every complete request.
using Handler = std::function<void(Request, Respond)>;
// The body of an answer the front gives by itself (a malformed request, a
// deadline passed, too many connections): status and reason.
using ErrorResponder = std::function<Response(int status, const std::string& message)>;

struct FrontOptions {
  std::string listen = "127.0.0.1";
  int port = 0;
  int threads = 8;
  Limits limits;
  // From the first byte of a request to its last, headers and body.
  std::chrono::milliseconds request_timeout{30000};
  // A kept-alive connection with no request, and a reply the client does
  // not take (no byte written for this long).
  std::chrono::milliseconds idle_timeout{60000};
  std::size_t max_connections = 512;
  std::size_t max_connections_per_address = 128;
  // The requests whose body goes to a file as it arrives (up to
  // limits.max_spooled_body); such a request has no deadline for the whole
  // body, only for each pause (idle_timeout).
  std::function<bool(const Request&)> spool_body;
};

class Front {
 public:
  Front(FrontOptions options, Handler handler, ErrorResponder errors);
  ~Front();
  Front(const Front&) = delete;
  Front& operator=(const Front&) = delete;

  // Binds the address; returns the port (the chosen one when the options say
  // 0). Throws std::runtime_error when the address cannot be bound.
  int Bind();
  // Serves until Stop; waits for the workers' running tasks before it returns.
  void Serve();
  // From any thread.
  void Stop();
  // Runs a task on a worker.
  void Post(std::function<void()> task);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace server::http
