// mag-fuzz: a bounded mutation run over the server's request decoding and
// its HTTP front. Seeds (valid calls, tricky framings) are mutated and sent
// two ways: straight into the request parser, the call decoder and the
// methods; and over a real socket to the HTTP front of a server running in
// this process on a demo database. A crash or a sanitizer report ends the
// run with a failure; so does an answer that is not a well-formed HTTP
// answer with the protocol's body, or a server that stops answering.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <thread>

#include "lib/sql/session.h"
#include "lib/wire/rpc.h"
#include "server/db/schema.h"
#include "server/db/session_pool.h"
#include "server/demo/demo_data.h"
#include "server/http/http_request_parser.h"
#include "server/rpc/http_server.h"
#include "server/rpc/methods.h"

namespace {

const std::string kRegistro =
    R"({"server":"Mag04200.rdmArqMag","method":"GetRegistro","args":[{"kind":"string","value":"NNNNNNNNNNNN","byref":true},)"
    R"({"kind":"string","value":"01"},{"kind":"string","value":"01"},{"kind":"string","value":"110042490114"},)"
    R"({"kind":"string","value":""},{"kind":"date","value":46023},{"kind":"date","value":46053},)"
    R"({"kind":"string","value":""},{"kind":"string","value":"","byref":true},{"kind":"string","value":"3"},)"
    R"({"kind":"string","value":"1"},{"kind":"string","value":"janeiro.txt"},{"kind":"string","value":"SINTEGRA"},)"
    R"({"kind":"string","value":"          "},{"kind":"date","value":1},{"kind":"string","value":"","byref":true},)"
    R"({"kind":"string","value":"S"},{"kind":"double","value":0,"byref":true},{"kind":"double","value":3,"byref":true}]})";

const std::vector<std::string> kBodies = {
    R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[{"kind":"string","value":"T"}]})",
    R"({"server":"Mag04200.rdmArqMag","method":"GetImpostonfe","args":[{"kind":"string","value":""},{"kind":"string","value":"T"}]})",
    R"({"server":"Mag04200.rdmArqMag","method":"GetInscST","args":[{"kind":"string","value":"01"},{"kind":"string","value":"110042490114"},{"kind":"string","value":""}]})",
    R"({"server":"Mag04200.rdmArqMag","method":"GetLivroMag","args":[{"kind":"string","value":""},{"kind":"string","value":"T"}]})",
    R"({"server":"Mag04200.rdmArqMag","method":"CancelRegistro","args":[{"kind":"string","value":"1-0123456789abcdef"}]})",
    kRegistro,
    R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[{"kind":"packet","fields":[{"name":"A","type":"bytes","size":1}],"rows":[["\u00e9"]]}]})",
    R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[{"kind":"array","items":[{"kind":"null"},{"kind":"date","value":1e308}]}]})",
};

std::string Framed(const std::string& body, bool chunked) {
  if (!chunked) {
    return "POST /v1/call HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
  }
  char size[32];
  std::snprintf(size, sizeof size, "%zx", body.size());
  return "POST /v1/call HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(size) +
         "\r\n" + body + "\r\n0\r\n\r\n";
}

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  for (const auto& body : kBodies) {
    seeds.push_back(Framed(body, false));
    seeds.push_back(Framed(body, true));
  }
  seeds.push_back("GET /v1/servers/Mag04200.rdmArqMag HTTP/1.1\r\nHost: x\r\n\r\n");
  seeds.push_back("GET /%FF HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
  seeds.push_back("POST /v1/call HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 2\r\n\r\n{}");
  return seeds;
}

const std::vector<std::string> kTokens = {"\r\n",
                                          "\r\n\r\n",
                                          "%FF",
                                          "%",
                                          "chunked",
                                          "Content-Length: ",
                                          "Transfer-Encoding: chunked\r\n",
                                          "0\r\n\r\n",
                                          "ffffffffffffffff",
                                          "-1",
                                          "1e400",
                                          "\\ud800",
                                          "\\u0000",
                                          "\xFF\xFE",
                                          "\xC0\xAF",
                                          "\xED\xA0\x80",
                                          "\"kind\"",
                                          "{\"kind\":\"array\",\"items\":[",
                                          "]",
                                          "}",
                                          "null",
                                          "\"byref\":true",
                                          "GetRegistro",
                                          "\"N\"",
                                          "99999999999",
                                          "Connection: close\r\n",
                                          " HTTP/1.1",
                                          std::string(1, '\0')};

class Mutator {
 public:
  explicit Mutator(std::uint64_t seed) : random_(seed) {}
  std::size_t Below(std::size_t n) {
    return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }

  std::string Mutate(std::string s, const std::vector<std::string>& seeds) {
    const std::size_t rounds = 1 + Below(6);
    for (std::size_t r = 0; r < rounds; ++r) {
      const std::size_t at = Below(s.size() + 1);
      switch (Below(7)) {
        case 0:
          if (!s.empty()) s[Below(s.size())] ^= static_cast<char>(1 << Below(8));
          break;
        case 1:
          if (!s.empty()) s[Below(s.size())] = static_cast<char>(Below(256));
          break;
        case 2: s.insert(at, kTokens[Below(kTokens.size())]); break;
        case 3:
          if (at < s.size()) s.erase(at, 1 + Below(std::min<std::size_t>(s.size() - at, 16)));
          break;
        case 4:
          if (at < s.size()) s.insert(at, s.substr(at, 1 + Below(std::min<std::size_t>(s.size() - at, 64))));
          break;
        case 5: {
          const std::string& other = seeds[Below(seeds.size())];
          s = s.substr(0, at) + other.substr(std::min(Below(other.size() + 1), other.size()));
          break;
        }
        case 6: s.insert(at, std::string(1 + Below(8), static_cast<char>(Below(256)))); break;
      }
    }
    if (s.size() > 64 * 1024) s.resize(64 * 1024);
    return s;
  }

 private:
  std::mt19937_64 random_;
};

[[noreturn]] void Fault(const std::string& what, const std::string& input) {
  std::cerr << "mag-fuzz: " << what << "\ninput (" << input.size() << " bytes):\n";
  for (unsigned char c : input) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      std::cerr << c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      std::cerr << hex;
    }
  }
  std::cerr << "\n";
  std::abort();
}

// Straight through: the parser in random pieces, then the decoder and the methods.
void InProcess(const std::string& input, Mutator& m, server::Mag04200& methods) {
  server::http::Limits limits;
  limits.max_header_bytes = 4096;
  limits.max_body = 16384;
  server::http::RequestParser parser(limits);
  std::size_t used = 0;
  while (used < input.size() && parser.state() == server::http::RequestParser::State::NeedMore) {
    const std::size_t piece = 1 + m.Below(std::min<std::size_t>(input.size() - used, 512));
    const std::size_t n = parser.Feed(std::string_view(input).substr(used, piece));
    if (n > piece) Fault("the parser took more bytes than it was given", input);
    used += n;
    if (n < piece) break;
  }
  if (parser.state() == server::http::RequestParser::State::Failed) {
    const int status = parser.error_status();
    if (status != 400 && status != 413 && status != 431)
      Fault("the parser failed with " + std::to_string(status), input);
    return;
  }
  if (parser.state() != server::http::RequestParser::State::Complete) return;
  const auto request = parser.Take();
  if (request.body.size() > limits.max_body) Fault("a body above the limit was taken", input);
  wire::CallRequest call;
  try {
    call = wire::DecodeRequest(request.body);
  } catch (const wire::ProtocolError& e) {
    wire::DecodeReply(wire::EncodeError({wire::ErrorKind::BadRequest, e.what()}));
    return;
  }
  // The methods reach the database: one decoded call in ten goes on to them.
  if (m.Below(10) != 0) return;
  try {
    wire::DecodeReply(wire::EncodeReply(methods.Call(call.method, call.arguments)));
  } catch (const server::MethodError& e) {
    wire::DecodeReply(wire::EncodeError({e.kind(), e.what()}));
  } catch (const std::runtime_error&) {
    // A reply that cannot be encoded is answered as a server failure.
  }
}

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Reads whatever comes within `ms` or until the server closes.
std::string Drain(int fd, int ms) {
  std::string got;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
            .count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buffer[65536];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
    // One complete answer is enough.
    const auto end = got.find("\r\n\r\n");
    const auto length = got.find("Content-Length: ");
    if (end != std::string::npos && length != std::string::npos && length < end &&
        got.size() >= end + 4 + std::stoul(got.substr(length + 16)))
      break;
  }
  return got;
}

// Every answer the front gives is an HTTP answer of a known status whose
// body the protocol's decoder reads.
void CheckAnswers(const std::string& input, std::string got) {
  static const std::set<int> kStatuses = {100, 200, 400, 404, 405, 408, 413, 431, 500, 503};
  while (!got.empty()) {
    const auto end = got.find("\r\n\r\n");
    if (got.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos)
      Fault("a malformed answer: " + got.substr(0, 80), input);
    const int status = std::stoi(got.substr(9, 3));
    if (!kStatuses.count(status)) Fault("an unexpected status " + std::to_string(status), input);
    const auto length_at = got.find("Content-Length: ");
    std::size_t length = 0;
    if (length_at != std::string::npos && length_at < end) length = std::stoul(got.substr(length_at + 16));
    if (got.size() < end + 4 + length) return;  // cut short by the read's time limit
    const std::string body = got.substr(end + 4, length);
    if (status == 200 && body.rfind("{\"server\":", 0) == 0) {
      try {
        wire::DecodeServerInfo(body);
      } catch (const wire::ProtocolError& e) {
        Fault(std::string("a handshake answer the protocol cannot read: ") + e.what(), input);
      }
    } else if (status != 100) {
      try {
        const auto reply = wire::DecodeReply(body);
        if (status != 200 && !std::holds_alternative<wire::CallError>(reply))
          Fault("an error answer without an error body", input);
      } catch (const wire::ProtocolError& e) {
        Fault(std::string("an answer the protocol cannot read: ") + e.what(), input);
      }
    }
    got.erase(0, end + 4 + length);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  std::uint64_t seed = std::random_device{}();
  CLI::App app{"mag-fuzz: a bounded mutation run over the server's request decoding and HTTP front"};
  app.add_option("--seconds", seconds, "how long to run")->capture_default_str();
  app.add_option("--seed", seed, "seed of the mutations (printed, to repeat a run)");
  CLI11_PARSE(app, argc, argv);

  const auto database =
      std::filesystem::temp_directory_path() / ("mag_fuzz_" + std::to_string(getpid()) + ".db");
  const std::string url = "sqlite:" + database.string();
  {
    auto session = sql::OpenSession(url);
    server::Migrate(*session);
    server::LoadDemoData(*session);
  }
  server::ServerConfig config;
  config.port = 0;
  config.database = url;
  config.output_dir = "/tmp/";
  config.max_body = 16384;
  config.request_timeout = 1;
  config.threads = 2;
  server::SessionPool sessions(url);
  server::Mag04200 methods(config, sessions);
  server::HttpServer http(config, methods);
  const int port = http.Bind();
  std::thread serving([&] { http.Serve(); });

  std::cout << "mag-fuzz: seed " << seed << ", " << seconds << " s" << std::endl;
  Mutator m(seed);
  const auto seeds = Seeds();
  long in_process = 0, over_socket = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    const std::string input = m.Mutate(seeds[m.Below(seeds.size())], seeds);
    if (m.Below(10) < 8) {
      InProcess(input, m, methods);
      ++in_process;
      continue;
    }
    const int fd = Connect(port);
    if (fd < 0) Fault("the server no longer takes connections", input);
    std::size_t sent = 0;
    while (sent < input.size()) {
      const ssize_t n = send(fd, input.data() + sent, input.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    CheckAnswers(input, Drain(fd, 20));
    close(fd);
    ++over_socket;
  }
  // The server still answers a valid call.
  const int fd = Connect(port);
  const std::string valid = Framed(kBodies[0], false);
  if (fd < 0 || send(fd, valid.data(), valid.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(valid.size()))
    Fault("the server no longer takes calls", valid);
  const std::string answer = Drain(fd, 10000);
  close(fd);
  if (answer.rfind("HTTP/1.1 200", 0) != 0) Fault("the server no longer answers a valid call", valid);

  http.Stop();
  serving.join();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(database.string() + suffix);
  std::cout << "mag-fuzz: " << in_process << " inputs in process, " << over_socket
            << " over the socket, no fault" << std::endl;
  return 0;
}
