#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "host/components/consiste.h"
#include "lib/sql/session.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

struct DemoServer : ::testing::Test {
  static inline std::string database;
  static inline std::unique_ptr<ServerProcess> server;
  static void SetUpTestSuite() {
    database = TestDatabase("lookups");
    PrepareDatabase(database, {"--init-demo"});
    server = std::make_unique<ServerProcess>(database);
  }
  static void TearDownTestSuite() {
    server.reset();
    DropTestDatabase(database);
  }
  ServerClient client{server->port()};

  static std::vector<std::string> Column(const wire::Variant& reply, const char* field) {
    const auto& packet = reply.AsPacket();
    std::vector<std::string> values;
    for (const auto& row : packet.rows) values.push_back(wire::CellText(row.at(packet.FieldIndex(field))));
    return values;
  }
};

TEST_F(DemoServer, GetEmpresaListsAllWithTOrOneByCodeWithTheScreensFields) {
  const auto all = client.Call("GetEmpresa", std::vector<std::string>{"T"});
  EXPECT_EQ(Column(all, "CDEMPRESA"), (std::vector<std::string>{"01", "02", "03", "04", "05", "06"}));
  EXPECT_EQ(Column(all, "CDSITUCRT"), (std::vector<std::string>{"3", "1", "2", "", "3", "1"}));
  const auto& fields = all.AsPacket().fields;
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[1].name, "NMEMPRESA");
  EXPECT_EQ(fields[1].size, 40);
  EXPECT_EQ(Column(client.Call("GetEmpresa", std::vector<std::string>{"02"}), "NMEMPRESA"),
            (std::vector<std::string>{"Indústria Mineira de Móveis S.A."}));
  EXPECT_TRUE(client.Call("GetEmpresa", std::vector<std::string>{"77"}).AsPacket().rows.empty());
}

TEST_F(DemoServer, GetImpostonfeCarriesTheCollectingAuthority) {
  const auto all = client.Call("GetImpostonfe", std::vector<std::string>{"", "T"});
  EXPECT_EQ(Column(all, "IDORGARRECADNFE"), (std::vector<std::string>{"E", "M", "", "E", "F"}));
  EXPECT_EQ(Column(client.Call("GetImpostonfe", std::vector<std::string>{"02", ""}), "SGIMPOSTONFE"),
            (std::vector<std::string>{"ISS"}));
  EXPECT_TRUE(client.Call("GetImpostonfe", std::vector<std::string>{"", ""}).AsPacket().rows.empty());
}

TEST_F(DemoServer, GetInscSTListsTheSubstituteRegistrationsOfACompanyAndRegistration) {
  const auto all = client.Call("GetInscST", std::vector<std::string>{"01", "110042490114", ""});
  EXPECT_EQ(Column(all, "CDINSCESTAST"), (std::vector<std::string>{"0012345670053", "78123451"}));
  EXPECT_EQ(Column(all, "SGESTADO"), (std::vector<std::string>{"MG", "RJ"}));
  EXPECT_EQ(client.Call("GetInscST", std::vector<std::string>{"01", "110042490114", "78123451"})
                .AsPacket()
                .rows.size(),
            1u);
  EXPECT_TRUE(
      client.Call("GetInscST", std::vector<std::string>{"02", "0623079040081", ""}).AsPacket().rows.empty());
}

TEST_F(DemoServer, GetLivroMagListsBooksAndFindsOneByItsTenDigitCode) {
  EXPECT_EQ(Column(client.Call("GetLivroMag", std::vector<std::string>{"", "T"}), "CDLIVROMAG"),
            (std::vector<std::string>{"0000000001", "0000000002", "0000000010"}));
  EXPECT_EQ(Column(client.Call("GetLivroMag", std::vector<std::string>{"0000000002", ""}), "NMLIVROMAG"),
            (std::vector<std::string>{"Livro Registro de Inventário"}));
  EXPECT_TRUE(client.Call("GetLivroMag", std::vector<std::string>{"", ""}).AsPacket().rows.empty());
  EXPECT_TRUE(client.Call("GetLivroMag", std::vector<std::string>{"0000000099", ""}).AsPacket().rows.empty());
}

TEST_F(DemoServer, LookupArgumentsAreCheckedBeforeAnythingIsRead) {
  const std::pair<const char*, std::vector<std::string>> bad[] = {
      {"GetEmpresa", {"123"}},
      {"GetEmpresa", {"A"}},
      {"GetEmpresa", {}},
      {"GetImpostonfe", {"01", "X"}},
      {"GetLivroMag", {"12345678901", ""}},
      {"GetInscST", {"01", "x"}},
      {"GetInscST", {"01", "12345678901234567", ""}}};
  for (const auto& [method, args] : bad) {
    EXPECT_THROW(client.Call(method, args), comp::EServerError) << method;
  }
  std::vector<comp::CallArgument> number = {{wire::Variant(1.0), false}};
  try {
    client.Call("GetEmpresa", number);
    FAIL();
  } catch (const comp::EServerError& e) {
    EXPECT_NE(std::string(e.what()).find("must be a string, not a double"), std::string::npos) << e.what();
  }
  // The server still answers afterwards.
  EXPECT_EQ(client.Call("GetEmpresa", std::vector<std::string>{"01"}).AsPacket().rows.size(), 1u);
}

TEST(ServerConnection, AScreenConnectionToNoServerFailsAtTheFirstCallNamingHostAndPort) {
  comp::SetTransportFactory(net::HttpTransportFactory());
  comp::TNetConnection connection(nullptr, "netArqMag");
  connection.SetServerName("Mag04200.rdmArqMag");
  connection.SetThrowException(false);
  connection.SetHost("127.0.0.1");
  connection.SetPort(1);  // nothing listens there
  connection.SetConnected(true);
  EXPECT_FALSE(connection.Connected());
  try {
    connection.AppServer().Call("GetEmpresa", std::vector<std::string>{"T"});
    FAIL();
  } catch (const comp::EServerError& e) {
    // What happened, in the user's words, and the server named once.
    EXPECT_STREQ(e.what(), "Sem conexão com o servidor de aplicação 127.0.0.1:1 (conexão recusada).");
  }
  comp::SetTransportFactory({});
}

TEST_F(DemoServer, TheHandshakeRefusesAnotherServerObject) {
  net::HttpTransport transport;
  EXPECT_THROW(transport.Connect("127.0.0.1", server->port(), "Other.rdmObject"), comp::EServerError);
}

}  // namespace

namespace {

// A database that fails: the user reads a short text, never the statement;
// the server's log has the details.
TEST(DatabaseFailures, TheUserReadsAShortTextAndTheLogHasTheDetails) {
  const std::string database = TestDatabase("broken");
  PrepareDatabase(database, {"--init-demo"});
  const std::string log = TestLog("broken");
  ServerProcess server(database, {}, DefaultServerBinary(), log);
  sql::OpenSession(database)->Execute("ALTER TABLE EMPRESA RENAME TO EMPRESA_ANTIGA");
  const wire::Variant reply = ServerClient(server.port()).Call("GetEmpresa", std::vector<std::string>{"T"});
  const auto& items = reply.AsArray();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].AsString(), "ERRO");
  EXPECT_EQ(items[1].AsString(),
            "Erro no banco de dados do servidor de aplicação (os detalhes estão no registro do servidor).");
  server.Stop();
  std::ifstream in(log);
  const std::string logged((std::istreambuf_iterator<char>(in)), {});
  // The database's own words: SQLite's "no such table: EMPRESA", PostgreSQL's
  // 'relation "empresa" does not exist'.
  std::string lower = logged;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(lower.find("getempresa: database error: "), std::string::npos) << logged;
  EXPECT_NE(lower.find("empresa", lower.find("database error")), std::string::npos) << logged;
  DropTestDatabase(database);
  std::filesystem::remove(log);
}

// A server that takes the connection and never answers: the wait runs out.
TEST(TransportFailures, AServerThatNeverAnswersRunsTheTimeOut) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  net::HttpTransportOptions options;
  options.read_timeout = std::chrono::seconds(1);
  net::HttpTransport transport(options);
  try {
    transport.Connect("127.0.0.1", ntohs(address.sin_port), "Mag04200.rdmArqMag");
    FAIL();
  } catch (const comp::EServerError& e) {
    EXPECT_STREQ(e.what(), "tempo esgotado: sem resposta em 1 s");
  }
  close(listener);
}

// A call whose server went away says so in the user's words.
TEST(TransportFailures, ACallWhoseServerWentAwaySaysSo) {
  const std::string database = TestDatabase("closing");
  PrepareDatabase(database, {"--init-demo"});
  auto server = std::make_unique<ServerProcess>(database);
  ServerClient client(server->port());
  server->Stop();
  try {
    client.Call("GetEmpresa", std::vector<std::string>{"T"});
    FAIL();
  } catch (const comp::EServerError& e) {
    const std::string what = e.what();
    EXPECT_EQ(what.rfind("Falha de comunicação com o servidor de aplicação 127.0.0.1:", 0), 0u) << what;
    EXPECT_NE(what.find("(GetEmpresa): "), std::string::npos) << what;
    EXPECT_EQ(what.find("Read"), std::string::npos) << what;
    EXPECT_EQ(what.find("Connection"), std::string::npos) << what;
  }
  DropTestDatabase(database);
}

}  // namespace
