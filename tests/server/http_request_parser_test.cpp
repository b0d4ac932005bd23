#include "server/http/http_request_parser.h"

#include <gtest/gtest.h>

namespace {

using server::http::Limits;
using server::http::RequestParser;
using State = RequestParser::State;

Limits Small() {
  Limits limits;
  limits.max_header_bytes = 256;
  limits.max_headers = 4;
  limits.max_body = 64;
  return limits;
}

// Feeds the bytes in pieces of `piece` bytes, as a slow network would.
RequestParser Parse(const std::string& bytes, std::size_t piece, std::size_t* used = nullptr) {
  RequestParser parser(Small());
  std::size_t total = 0;
  for (std::size_t at = 0; at < bytes.size() && parser.state() == State::NeedMore; at += piece) {
    const std::string_view part = std::string_view(bytes).substr(at, piece);
    const std::size_t n = parser.Feed(part);
    total += n;
    if (n < part.size()) break;
  }
  if (used) *used = total;
  return parser;
}

TEST(RequestParser, ReadsTheSameRequestWhateverTheNetworkCutsItInto) {
  const std::string chunked =
      "POST /v1/call HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
      "5;ext=1\r\nhello\r\n6\r\n world\r\n0\r\nX-Trailer: y\r\n\r\n";
  const std::string sized =
      "POST /v1/call HTTP/1.1\r\nContent-Length: 11\r\nConnection: close\r\n\r\nhello world";
  for (std::size_t piece : {1u, 2u, 3u, 7u, 1000u}) {
    auto a = Parse(chunked, piece);
    ASSERT_EQ(a.state(), State::Complete) << piece;
    const auto request = a.Take();
    EXPECT_EQ(request.body, "hello world");
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/v1/call");
    EXPECT_TRUE(request.keep_alive);
    EXPECT_EQ(*request.Header("host"), "x");

    auto b = Parse(sized, piece);
    ASSERT_EQ(b.state(), State::Complete) << piece;
    const auto second = b.Take();
    EXPECT_EQ(second.body, "hello world");
    EXPECT_FALSE(second.keep_alive);
  }
}

TEST(RequestParser, StopsAtTheEndOfARequestAndReadsThePipelinedNextOne) {
  const std::string one = "GET /a HTTP/1.1\r\n\r\n";
  const std::string two = "POST /b HTTP/1.0\r\nContent-Length: 2\r\n\r\nok";
  RequestParser parser(Small());
  const std::string both = one + two;
  const std::size_t used = parser.Feed(both);
  EXPECT_EQ(used, one.size());
  ASSERT_EQ(parser.state(), State::Complete);
  EXPECT_EQ(parser.Take().target, "/a");
  EXPECT_EQ(parser.Feed(std::string_view(both).substr(used)), two.size());
  ASSERT_EQ(parser.state(), State::Complete);
  const auto second = parser.Take();
  EXPECT_EQ(second.body, "ok");
  EXPECT_FALSE(second.keep_alive);  // HTTP/1.0 without keep-alive
}

TEST(RequestParser, RefusesBadFramingAndEveryLimitAtTheByteThatPassesIt) {
  const std::string post = "POST /v1/call HTTP/1.1\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    int status;
    std::size_t at_most_used;  // the parser takes no byte past the fault
  } cases[] = {
      {"chunk size above the limit", post + "Transfer-Encoding: chunked\r\n\r\n10000000\r\n", 413, 0},
      {"chunks adding up above the limit",
       post + "Transfer-Encoding: chunked\r\n\r\n20\r\n" + std::string(32, 'a') + "\r\n21\r\n" +
           std::string(33, 'b'),
       413, 0},
      {"length above the limit", post + "Content-Length: 65\r\n\r\n" + std::string(65, 'a'), 413, 0},
      {"header block too large", post + "X: " + std::string(300, 'a') + "\r\n\r\n", 431, 256},
      {"too many headers", post + "A: 1\r\nB: 1\r\nC: 1\r\nD: 1\r\nE: 1\r\n\r\n", 431, 0},
      {"both length and chunked", post + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n", 400, 0},
      {"two different lengths", post + "Content-Length: 3\r\nContent-Length: 4\r\n\r\n", 400, 0},
      {"length not a number", post + "Content-Length: -1\r\n\r\n", 400, 0},
      {"gzip transfer encoding", post + "Transfer-Encoding: gzip\r\n\r\n", 400, 0},
      {"chunk size not hexadecimal", post + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", 400, 0},
      {"chunk longer than its size", post + "Transfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n", 400, 0},
      {"HTTP/2 request line", "GET / HTTP/2.0\r\n\r\n", 400, 0},
      {"no version", "GET /\r\n\r\n", 400, 0},
      {"target not a path", "GET http://x/ HTTP/1.1\r\n\r\n", 400, 0},
      {"control byte in the target", std::string("GET /a\x01 HTTP/1.1\r\n\r\n"), 400, 0},
      {"folded header", post + "A: 1\r\n  more\r\n\r\n", 400, 0},
      {"NUL in a header value", post + std::string("A: x\0y\r\n\r\n", 10), 400, 0},
      {"binary noise", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15), 400, 0},
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {1u, 4096u}) {
      std::size_t used = 0;
      const auto parser = Parse(c.bytes, piece, &used);
      EXPECT_EQ(parser.state(), State::Failed) << c.name << " in pieces of " << piece;
      EXPECT_EQ(parser.error_status(), c.status) << c.name << ": " << parser.error_message();
      if (c.at_most_used) {
        EXPECT_LE(used, c.at_most_used) << c.name;
      }
    }
  }
  // The 413 comes at the chunk-size line: none of the 256 MiB is waited for.
  std::size_t used = 0;
  Parse(post + "Transfer-Encoding: chunked\r\n\r\n10000000\r\n" + std::string(100, 'a'), 4096, &used);
  EXPECT_LT(used, post.size() + 60);
}

TEST(RequestParser, AsksForContinueOnlyWhenABodyIsExpected) {
  RequestParser parser(Small());
  parser.Feed("POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 2\r\n\r\n");
  EXPECT_TRUE(parser.HeadersComplete());
  EXPECT_TRUE(parser.ExpectsContinue());
  parser.Feed("ok");
  EXPECT_EQ(parser.state(), State::Complete);
  RequestParser empty(Small());
  empty.Feed("POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 0\r\n\r\n");
  EXPECT_FALSE(empty.ExpectsContinue());
}

}  // namespace
