#include "server/http/http_request_parser.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace server::http {
namespace {

constexpr std::size_t kMaxChunkLine = 1024;  // size, extensions, CR LF

bool IsTokenChar(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsToken(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return IsTokenChar(c); });
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Whether a comma-separated header value lists this token (case-insensitive).
bool ListHas(const std::string& value, std::string_view token) {
  std::string_view rest(value);
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    if (Lower(TrimBlanks(rest.substr(0, comma))) == token) return true;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

const std::string* Request::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key == name) return &value;
  }
  return nullptr;
}

void RequestParser::Fail(int status, std::string message) {
  state_ = State::Failed;
  error_status_ = status;
  error_message_ = std::move(message);
}

std::size_t RequestParser::Feed(std::string_view data) {
  std::size_t used = 0;
  while (used < data.size() && state_ == State::NeedMore) {
    const std::string_view rest = data.substr(used);
    switch (phase_) {
      case Phase::Head: used += FeedHead(rest); break;
      case Phase::Body: used += TakeBody(rest, Phase::Done); break;
      case Phase::ChunkSize: {
        bool complete = false;
        used += FeedLine(rest, kMaxChunkLine, complete);
        if (complete) ParseChunkSize();
        break;
      }
      case Phase::ChunkData: used += TakeBody(rest, Phase::ChunkEnd); break;
      case Phase::ChunkEnd: {
        bool complete = false;
        used += FeedLine(rest, 2, complete);
        if (complete) {
          if (!line_.empty()) {
            Fail(400, "a chunk is longer than its size says");
          } else {
            phase_ = Phase::ChunkSize;
          }
        }
        break;
      }
      case Phase::Trailers: {
        bool complete = false;
        const std::size_t n = FeedLine(rest, limits_.max_header_bytes, complete);
        used += n;
        trailer_bytes_ += n;
        if (state_ == State::NeedMore && trailer_bytes_ > limits_.max_header_bytes) {
          Fail(431, "the trailers are larger than " + std::to_string(limits_.max_header_bytes) + " bytes");
        } else if (complete) {
          if (line_.empty()) phase_ = Phase::Done;
          line_.clear();
        }
        break;
      }
      case Phase::Done: break;
    }
    if (phase_ == Phase::Done && state_ == State::NeedMore) state_ = State::Complete;
  }
  return used;
}

// Body bytes still to come (of the body or of one chunk); `next` once they are in.
std::size_t RequestParser::TakeBody(std::string_view data, Phase next) {
  const std::size_t n = std::min(remaining_, data.size());
  if (Spooling()) {
    if (!request_.spooled_body->Append(data.substr(0, n))) {
      Fail(507, "the server has no room to keep the request body");
      return n;
    }
  } else {
    request_.body.append(data.data(), n);
  }
  body_size_ += n;
  remaining_ -= n;
  if (remaining_ == 0) phase_ = next;
  return n;
}

std::size_t RequestParser::FeedHead(std::string_view data) {
  std::size_t skipped = 0;
  // Blank lines before a request are allowed (some clients end a body with one).
  if (head_.empty()) {
    while (skipped < data.size() && (data[skipped] == '\r' || data[skipped] == '\n')) ++skipped;
    data.remove_prefix(skipped);
    if (data.empty()) return skipped;
  }
  started_ = true;
  const std::size_t before = head_.size();
  const std::size_t n = std::min(data.size(), limits_.max_header_bytes - before);
  head_.append(data.data(), n);
  const auto end = head_.find("\r\n\r\n", before >= 3 ? before - 3 : 0);
  if (end == std::string::npos) {
    if (head_.size() >= limits_.max_header_bytes) {
      Fail(431, "the request line and headers are larger than " + std::to_string(limits_.max_header_bytes) +
                    " bytes");
    }
    return skipped + n;
  }
  head_.resize(end + 4);
  const std::size_t used = skipped + (head_.size() - before);
  ParseHead();
  return used;
}

// Collects one CR LF-ended line into line_ (without the CR LF).
std::size_t RequestParser::FeedLine(std::string_view data, std::size_t limit, bool& complete) {
  const auto lf = data.find('\n');
  const std::size_t n = lf == std::string_view::npos ? data.size() : lf + 1;
  if (line_.size() + n > limit) {
    Fail(phase_ == Phase::Trailers ? 431 : 400, "a line of the chunked body is too long");
    return n;
  }
  line_.append(data.data(), n);
  if (lf != std::string_view::npos) {
    if (line_.size() < 2 || line_[line_.size() - 2] != '\r') {
      Fail(400, "a line of the chunked body does not end in CR LF");
      return n;
    }
    line_.resize(line_.size() - 2);
    complete = true;
  }
  return n;
}

void RequestParser::ParseHead() {
  std::string_view head(head_);
  head.remove_suffix(2);  // the empty line
  const auto first_end = head.find("\r\n");
  const std::string_view request_line = head.substr(0, first_end);
  const auto sp1 = request_line.find(' ');
  const auto sp2 = sp1 == std::string_view::npos ? sp1 : request_line.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos || request_line.find(' ', sp2 + 1) != std::string_view::npos) {
    return Fail(400, "the request line is not 'METHOD TARGET VERSION'");
  }
  const std::string_view method = request_line.substr(0, sp1);
  const std::string_view target = request_line.substr(sp1 + 1, sp2 - sp1 - 1);
  const std::string_view version = request_line.substr(sp2 + 1);
  if (!IsToken(method)) return Fail(400, "the request method is not a token");
  if (target.empty() || target.front() != '/') return Fail(400, "the request target is not a path");
  for (unsigned char c : target) {
    if (c <= 0x20 || c == 0x7F) return Fail(400, "the request target holds a control character");
  }
  if (version != "HTTP/1.1" && version != "HTTP/1.0")
    return Fail(400, "only HTTP/1.0 and HTTP/1.1 are served");
  request_.method = method;
  request_.target = target;
  request_.version = version;

  std::string_view rest =
      first_end == std::string_view::npos ? std::string_view() : head.substr(first_end + 2);
  while (!rest.empty()) {
    const auto end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    if (line.front() == ' ' || line.front() == '\t') return Fail(400, "folded header lines are not accepted");
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
      return Fail(400, "a header line is not 'name: value'");
    }
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    for (unsigned char c : value) {
      if ((c < 0x20 && c != '\t') || c == 0x7F) return Fail(400, "a header value holds a control character");
    }
    if (request_.headers.size() >= limits_.max_headers) {
      return Fail(431, "more than " + std::to_string(limits_.max_headers) + " headers");
    }
    request_.headers.emplace_back(Lower(line.substr(0, colon)), std::string(value));
  }
  head_.clear();
  if (spool_ && spool_(request_)) {
    try {
      request_.spooled_body = std::make_shared<SpooledBody>();
    } catch (const std::exception& e) {
      return Fail(507, e.what());
    }
  }

  const bool http11 = request_.version == "HTTP/1.1";
  const std::string* connection = request_.Header("connection");
  request_.keep_alive = http11 ? !(connection && ListHas(*connection, "close"))
                               : (connection && ListHas(*connection, "keep-alive"));

  // Exactly one way of knowing where the body ends: a request that gives two
  // could be read differently by a proxy in front of the server.
  const std::string* transfer = nullptr;
  const std::string* length = nullptr;
  for (const auto& [name, value] : request_.headers) {
    if (name == "transfer-encoding") {
      if (transfer) return Fail(400, "Transfer-Encoding is given twice");
      transfer = &value;
    } else if (name == "content-length") {
      if (length && *length != value)
        return Fail(400, "Content-Length is given twice, with different values");
      length = &value;
    }
  }
  if (transfer && length) return Fail(400, "both Transfer-Encoding and Content-Length are given");
  if (transfer) {
    if (!http11 || Lower(*transfer) != "chunked") {
      return Fail(400, "the only transfer encoding accepted is chunked (HTTP/1.1)");
    }
    StartChunks();
  } else if (length) {
    if (length->empty() || length->size() > 18 ||
        length->find_first_not_of("0123456789") != std::string::npos) {
      return Fail(400, "Content-Length is not a number");
    }
    remaining_ = std::stoull(*length);
    if (remaining_ > BodyLimit()) {
      return Fail(413, "the request body is larger than " + std::to_string(BodyLimit()) + " bytes");
    }
    // Room for what has arrived, not for what is announced.
    if (!Spooling()) request_.body.reserve(std::min<std::size_t>(remaining_, 64 * 1024));
    phase_ = remaining_ == 0 ? Phase::Done : Phase::Body;
  } else {
    phase_ = Phase::Done;
  }
  if (const std::string* expect = request_.Header("expect")) {
    expects_continue_ = phase_ != Phase::Done && Lower(*expect) == "100-continue";
  }
  if (phase_ == Phase::Done) state_ = State::Complete;
}

void RequestParser::StartChunks() {
  phase_ = Phase::ChunkSize;
  line_.clear();
}

void RequestParser::ParseChunkSize() {
  const std::string_view size = TrimBlanks(std::string_view(line_).substr(0, line_.find(';')));
  if (size.empty() || size.size() > 15 ||
      size.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return Fail(400, "a chunk size is not a hexadecimal number");
  }
  const std::size_t n = std::stoull(std::string(size), nullptr, 16);
  line_.clear();
  if (n > BodyLimit() - body_size_) {
    return Fail(413, "the request body is larger than " + std::to_string(BodyLimit()) + " bytes");
  }
  if (n == 0) {
    phase_ = Phase::Trailers;
    trailer_bytes_ = 0;
    return;
  }
  remaining_ = n;
  phase_ = Phase::ChunkData;
}

Request RequestParser::Take() {
  Request request = std::move(request_);
  request_ = Request();
  state_ = State::NeedMore;
  phase_ = Phase::Head;
  started_ = false;
  expects_continue_ = false;
  head_.clear();
  line_.clear();
  remaining_ = 0;
  body_size_ = 0;
  return request;
}

SpooledBody::SpooledBody() {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/mag-body-XXXXXX";
  fd_ = mkstemp(pattern.data());
  if (fd_ < 0)
    throw std::runtime_error(std::string("no temporary file for the body: ") + std::strerror(errno));
  path_ = pattern;
}

SpooledBody::~SpooledBody() {
  if (fd_ >= 0) close(fd_);
  unlink(path_.c_str());
}

bool SpooledBody::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
    size_ += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace server::http
