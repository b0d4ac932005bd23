// The server against hostile and broken clients, on a real process: no
// request ends it, no client takes it out of service.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <thread>

#include "lib/wire/rpc.h"
#include "tests/support/raw_http.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

using namespace std::chrono_literals;

const std::string kCall =
    R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[{"kind":"string","value":"01"}]})";

std::string Post(const std::string& body, const std::string& extra_headers = "") {
  return "POST /v1/call HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
         extra_headers + "\r\n" + body;
}

std::string Kind(const std::string& body) {
  const auto reply = wire::DecodeReply(body);
  if (!std::holds_alternative<wire::CallError>(reply)) return "(no error)";
  return wire::ErrorKindName(std::get<wire::CallError>(reply).kind);
}

// A valid call on a connection of its own, with a deadline far below the
// minutes that a blocked server would take.
bool AnswersACall(int port) {
  net::HttpTransportOptions options;
  options.connect_timeout = 5s;
  options.read_timeout = 5s;
  try {
    net::HttpTransport transport(options);
    transport.Connect("127.0.0.1", port, "Mag04200.rdmArqMag");
    std::vector<comp::CallArgument> args = {{wire::Variant("01"), false}};
    return transport.Call("GetEmpresa", args).AsPacket().rows.size() == 1;
  } catch (const std::exception&) {
    return false;
  }
}

struct HostileClients : ::testing::Test {
  static inline std::string database;
  static void SetUpTestSuite() {
    database = TestDatabase("hostile");
    PrepareDatabase(database, {"--init-demo"});
  }
  static void TearDownTestSuite() { DropTestDatabase(database); }
  static std::unique_ptr<ServerProcess> Start(std::vector<std::string> options = {}) {
    return std::make_unique<ServerProcess>(database, std::move(options));
  }
  static bool Alive(const ServerProcess& server) { return kill(server.pid(), 0) == 0; }
};

TEST_F(HostileClients, EveryMalformedRequestGetsItsErrorAndNoneEndsTheServer) {
  auto server = Start({"--max-body", "4096"});
  const std::string chunked = "POST /v1/call HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n";
  std::string two_mib;
  for (int i = 0; i < 2048; ++i) two_mib += "400\r\n" + std::string(1024, ' ') + "\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    int status;
    const char* kind;
  } cases[] = {
      {"database not UTF-8", "GET /%FF HTTP/1.1\r\nHost: x\r\n\r\n", 404, "not-found"},
      {"server name not UTF-8", "GET /v1/servers/%FF%FE HTTP/1.1\r\n\r\n", 404, "unknown-server"},
      {"call database not UTF-8", Post(kCall).replace(0, 13, "POST /v1/call%FF"), 404, "not-found"},
      {"raw byte in the database", "GET /\xC3\x28 HTTP/1.1\r\n\r\n", 404, "not-found"},
      {"broken escape", "GET /v1/servers/%Z HTTP/1.1\r\n\r\n", 400, "bad-request"},
      {"unknown database", "GET /v2/anything HTTP/1.1\r\n\r\n", 404, "not-found"},
      {"call with GET", "GET /v1/call HTTP/1.1\r\n\r\n", 405, "method-not-allowed"},
      {"handshake with DELETE", "DELETE /v1/servers/Mag04200.rdmArqMag HTTP/1.1\r\n\r\n", 405,
       "method-not-allowed"},
      {"body not UTF-8", Post("{\"server\":\"\xFF\xFE\",\"method\":\"GetEmpresa\",\"args\":[]}"), 400,
       "bad-request"},
      {"UTF-16 body", Post(std::string("\xFF\xFE{\0\"\0s\0\"\0:\0 \0}\0", 16)), 400, "bad-request"},
      {"number out of range",
       Post(
           R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[{"kind":"double","value":1e400}]})"),
       400, "bad-request"},
      {"2 MiB chunked body", chunked + two_mib + "0\r\n\r\n", 413, "too-large"},
      {"256 MiB chunk announced", chunked + "10000000\r\n", 413, "too-large"},
      {"length above the limit", "POST /v1/call HTTP/1.1\r\nContent-Length: 999999999\r\n\r\n", 413,
       "too-large"},
      {"header block of 64 KiB", "GET / HTTP/1.1\r\nX: " + std::string(65536, 'a') + "\r\n\r\n", 431,
       "too-large"},
      {"length and chunked",
       "POST /v1/call HTTP/1.1\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n", 400,
       "bad-request"},
      {"HTTP/2", "GET / HTTP/2.0\r\n\r\n", 400, "bad-request"},
      {"binary noise", std::string("\x16\x03\x01\x00\xA5\x01\x00\x00\xA1\x03\x03\r\n\r\n", 15), 400,
       "bad-request"},
  };
  for (const Case& c : cases) {
    RawConnection connection(server->port());
    connection.Send(c.bytes);
    const auto answer = connection.Read();
    EXPECT_EQ(answer.status, c.status) << c.name;
    EXPECT_EQ(Kind(answer.body), c.kind) << c.name << ": " << answer.body;
    ASSERT_TRUE(Alive(*server)) << "the server ended after: " << c.name;
  }
  EXPECT_TRUE(AnswersACall(server->port()));
  EXPECT_EQ(server->Stop(), 0);
}

TEST_F(HostileClients, BytesThatAreNotUtf8AreEscapedInTheMessage) {
  auto server = Start();
  RawConnection connection(server->port());
  connection.Send("GET /v1/servers/a%FFb HTTP/1.1\r\n\r\n");
  const auto answer = connection.Read();
  const auto reply = wire::DecodeReply(answer.body);
  ASSERT_TRUE(std::holds_alternative<wire::CallError>(reply)) << answer.body;
  EXPECT_EQ(std::get<wire::CallError>(reply).message, "no server object 'a\\xFFb'");
}

TEST_F(HostileClients, SlowAndIdleClientsDoNotKeepACallWaiting) {
  auto server = Start({"--request-timeout", "2"});
  // 200 connections that never send a byte, and 8 that send one byte of
  // their headers every 200 ms.
  std::vector<std::unique_ptr<RawConnection>> idle, slow;
  for (int i = 0; i < 200; ++i) idle.push_back(std::make_unique<RawConnection>(server->port()));
  for (int i = 0; i < 8; ++i) slow.push_back(std::make_unique<RawConnection>(server->port()));
  std::atomic<bool> done{false};
  std::thread dripping([&] {
    const std::string request = Post(kCall);
    for (std::size_t at = 0; !done && at < request.size(); ++at) {
      for (auto& s : slow) s->Send(request.substr(at, 1));
      std::this_thread::sleep_for(200ms);
    }
  });
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(AnswersACall(server->port())) << "call " << i;
  // A request that does not arrive whole within its deadline is refused.
  const auto answer = slow.front()->Read(10s);
  EXPECT_EQ(answer.status, 408);
  EXPECT_EQ(Kind(answer.body), "timeout");
  EXPECT_TRUE(slow.front()->ClosedWithin(10s));
  done = true;
  dripping.join();
}

TEST_F(HostileClients, AtTheConnectionCapIdleConnectionsGoFirstThenNewOnesAreRefused) {
  auto server = Start({"--max-connections", "8", "--max-connections-per-address", "6"});
  std::vector<std::unique_ptr<RawConnection>> idle;
  for (int i = 0; i < 6; ++i) idle.push_back(std::make_unique<RawConnection>(server->port()));
  // The address is at its cap: the call's connection takes the oldest idle one's place.
  EXPECT_TRUE(AnswersACall(server->port()));
  EXPECT_TRUE(idle.front()->ClosedWithin(5s));
  EXPECT_FALSE(idle.back()->ClosedWithin(100ms));

  // Connections in the middle of a request are never dropped for a newcomer.
  std::vector<std::unique_ptr<RawConnection>> busy;
  for (int i = 0; i < 6; ++i) {
    busy.push_back(std::make_unique<RawConnection>(server->port()));
    busy.back()->Send("POST /v1/call HTTP/1.1\r\n");
    // Started before the next one knocks, or it would count as idle.
    std::this_thread::sleep_for(100ms);
  }
  RawConnection refused(server->port());
  const auto answer = refused.Read(5s);
  EXPECT_EQ(answer.status, 503);
  EXPECT_EQ(Kind(answer.body), "unavailable");
  busy.clear();
  std::this_thread::sleep_for(200ms);  // the server sees them go
  EXPECT_TRUE(AnswersACall(server->port()));
}

TEST_F(HostileClients, FilesBeingBuiltLeaveTheWorkersToOtherCalls) {
  const std::string volume = TestDatabase("hostile_volume");
  PrepareDatabase(volume, {"--init-demo", "--demo-volume", "4001"});
  ServerProcess server(volume, {"--threads", "1", "--max-builds", "1"});
  RegistroArgs a;
  a.company = "90";
  a.registration = "900000009008";
  a.tax = "";
  const std::string body = wire::EncodeRequest({"Mag04200.rdmArqMag", "GetRegistro", a.Arguments()});
  // Two first pages: one is built, the other waits its turn, and the one
  // worker answers meanwhile.
  std::vector<std::unique_ptr<RawConnection>> builds;
  for (int i = 0; i < 2; ++i) {
    builds.push_back(std::make_unique<RawConnection>(server.port()));
    builds.back()->Send(Post(body));
  }
  EXPECT_TRUE(AnswersACall(server.port()));
  // The call was answered while the second file was still waiting its turn.
  EXPECT_EQ(builds.back()->Read(1ms).status, 0);
  for (auto& b : builds) EXPECT_EQ(b->Read(120s).status, 200);
  builds.clear();
  server.Stop();
  DropTestDatabase(volume);
}

TEST_F(HostileClients, KeptAliveConnectionsServeCallAfterCall) {
  auto server = Start();
  RawConnection connection(server->port());
  // Two requests in one write, then one in pieces.
  connection.Send(Post(kCall) + Post(kCall));
  for (int i = 0; i < 2; ++i) {
    const auto answer = connection.Read();
    EXPECT_EQ(answer.status, 200) << answer.body;
    EXPECT_FALSE(answer.closed);
  }
  const std::string request = Post(kCall, "Expect: 100-continue\r\n");
  const auto head_end = request.find("\r\n\r\n") + 4;
  connection.Send(request.substr(0, head_end));
  const auto go_on = connection.Read();
  EXPECT_EQ(go_on.status, 100);
  connection.Send(request.substr(head_end));
  EXPECT_EQ(connection.Read().status, 200);
}

}  // namespace
