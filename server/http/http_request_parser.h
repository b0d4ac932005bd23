#pragma once
// Reads HTTP/1.1 requests from the bytes of a connection, as they arrive, in
// pieces of any size. Every limit is enforced while reading: a header block
// or a body (of any transfer encoding) that passes its limit is refused at
// the byte that passes it, so no request can make the server hold more than
// its limits.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace server::http {

struct Limits {
  std::size_t max_header_bytes = 16 * 1024;  // request line and headers, CR LF included
  std::size_t max_headers = 100;
  std::size_t max_body = 1 << 20;  // after removing the chunked framing
};

struct Request {
  std::string method;                                        // "GET", "POST"
  std::string target;                                        // as sent: "/v1/call"
  std::string version;                                       // "HTTP/1.1" or "HTTP/1.0"
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;
  bool keep_alive = true;

  // The value of a header (the first of that name), or nullptr.
  const std::string* Header(std::string_view lower_case_name) const;
};

class RequestParser {
 public:
  enum class State { NeedMore, Complete, Failed };

  explicit RequestParser(Limits limits) : limits_(limits) {}

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

  Limits limits_;
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
