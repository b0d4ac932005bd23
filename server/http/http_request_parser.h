#pragma once
// Reads HTTP/1.1 requests from the bytes of a connection, as they arrive, in
// pieces of any size. Every limit is enforced while reading: a header block
// or a body (of any transfer encoding) that passes its limit is refused at
// the byte that passes it, so no request can make the server hold more than
// its limits.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace server::http {

struct Limits {
  std::size_t max_header_bytes = 16 * 1024;  // request line and headers, CR LF included
  std::size_t max_headers = 100;
  std::size_t max_body = 1 << 20;  // after removing the chunked framing
  // A body written to a file as it arrives (see SpoolBodiesOf).
  std::size_t max_spooled_body = std::size_t{2} << 30;
};

// A request body written to a temporary file as it arrived, instead of held
// in memory; the file is removed with the last reference to it.
class SpooledBody {
 public:
  // Throws std::runtime_error when no temporary file can be made.
  SpooledBody();
  ~SpooledBody();
  SpooledBody(const SpooledBody&) = delete;
  SpooledBody& operator=(const SpooledBody&) = delete;
  const std::string& path() const { return path_; }
  std::size_t size() const { return size_; }
  // False when the disk took less than all of it. What is appended is
  // there at once for whoever opens path().
  bool Append(std::string_view bytes);

 private:
  std::string path_;
  int fd_ = -1;
  std::size_t size_ = 0;
};

struct Request {
  std::string method;                                        // "GET", "POST"
  std::string target;                                        // as sent: "/v1/call"
  std::string version;                                       // "HTTP/1.1" or "HTTP/1.0"
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;
  // Instead of `body`, for the requests whose body is spooled.
  std::shared_ptr<SpooledBody> spooled_body;
  bool keep_alive = true;
  // The client's address, as the connection came from it.
  std::string peer;

  // The value of a header (the first of that name), or nullptr.
  const std::string* Header(std::string_view lower_case_name) const;
};

class RequestParser {
 public:
  enum class State { NeedMore, Complete, Failed };

  explicit RequestParser(Limits limits) : limits_(limits) {}

  // Requests for which `spool` says yes (it sees the request line and the
  // headers) have their body written to a file as it arrives, up to
  // max_spooled_body, instead of held in `body` up to max_body.
  void SpoolBodiesOf(std::function<bool(const Request&)> spool) { spool_ = std::move(spool); }
  // Whether the body being read goes to a file.
  bool Spooling() const { return request_.spooled_body != nullptr; }

  // Takes bytes of the connection; returns how many belong to the current
  // request. Bytes past a complete request (a pipelined next one) are not
  // taken; nothing is taken once the request is complete or failed.
  std::size_t Feed(std::string_view data);

  State state() const { return state_; }
  // Whether any byte of the current request has arrived.
  bool Started() const { return started_; }
  // Whether the header block is complete (the body may still be arriving).
  bool HeadersComplete() const { return phase_ != Phase::Head; }
  // Whether the client waits for "100 Continue" before it sends the body.
  bool ExpectsContinue() const { return expects_continue_; }

  // For a failed request: the HTTP status to answer (400, 413 or 431) and why.
  int error_status() const { return error_status_; }
  const std::string& error_message() const { return error_message_; }

  // Hands over a complete request and gets ready for the next one.
  Request Take();

 private:
  enum class Phase { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Done };

  std::size_t FeedHead(std::string_view data);
  std::size_t TakeBody(std::string_view data, Phase next);
  std::size_t FeedLine(std::string_view data, std::size_t limit, bool& complete);
  void ParseHead();
  void StartChunks();
  void ParseChunkSize();
  void Fail(int status, std::string message);

  std::size_t BodyLimit() const { return Spooling() ? limits_.max_spooled_body : limits_.max_body; }

  Limits limits_;
  std::function<bool(const Request&)> spool_;
  std::size_t body_size_ = 0;  // body bytes taken so far, wherever they went
  State state_ = State::NeedMore;
  Phase phase_ = Phase::Head;
  bool started_ = false;
  bool expects_continue_ = false;
  std::string head_;  // the header block so far
  std::string line_;  // a chunk-size or trailer line so far
  std::size_t trailer_bytes_ = 0;
  std::size_t remaining_ = 0;  // body or chunk bytes still to come
  Request request_;
  int error_status_ = 0;
  std::string error_message_;
};

}  // namespace server::http
