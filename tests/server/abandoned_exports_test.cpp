// Lines the server keeps for the next pages of an export never outlive the
// export by long: a client that gives up says so, a client that vanishes is
// noticed, and a limit keeps what is stored bounded.
#include <gtest/gtest.h>

#include <thread>

#include "lib/sql/session.h"
#include "tests/support/raw_http.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

using namespace std::chrono_literals;

std::int64_t StoredLines(const std::string& database) {
  auto session = sql::OpenSession(database);
  return std::stoll(session->Query("SELECT COALESCE(SUM(NRULTIMA - NRPRIMEIRA + 1), 0) FROM ARQMAGBLOCO", {})
                        .rows.at(0)
                        .at(0)
                        .value_or("0"));
}

// The number of the last request the server built.
std::int64_t LastRequest(const std::string& database) {
  auto session = sql::OpenSession(database);
  return std::stoll(session->Query("SELECT NRULTIMO FROM ARQMAGSEQ", {}).rows.at(0).at(0).value_or("0"));
}

// Waits, at most `limit`, until `done` holds.
template <typename F>
bool Within(std::chrono::seconds limit, F done) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

// The first page of a January file of company 01, one line long, so that
// its other lines stay stored for the next page.
wire::VariantArray FirstLine(ServerClient& client) {
  RegistroArgs a;
  a.end = 1;
  auto args = a.Arguments();
  return client.Call("GetRegistro", args).AsArray();
}

std::string Cancel(ServerClient& client, const std::string& key) {
  return client.Call("CancelRegistro", std::vector<std::string>{key}).AsString();
}

struct AbandonedExports : ::testing::Test {
  std::string database = TestDatabase("abandoned");
  void SetUp() override { PrepareDatabase(database, {"--init-demo"}); }
  void TearDown() override { DropTestDatabase(database); }
};

TEST_F(AbandonedExports, ACancelDropsTheStoredLinesAndTheKeyOpensNothingAfter) {
  ServerProcess server(database);
  ServerClient client(server.port());
  const auto first = FirstLine(client);
  ASSERT_EQ(first.at(0).AsString(), "OK");
  ASSERT_EQ(first.at(3).AsString(), "S");
  const std::string key = first.at(4).AsString();
  EXPECT_GT(StoredLines(database), 0);

  EXPECT_EQ(Cancel(client, key), "S");
  EXPECT_EQ(StoredLines(database), 0);
  EXPECT_EQ(Cancel(client, key), "N");  // twice is harmless
  EXPECT_EQ(Cancel(client, "1-forged"), "N");
  RegistroArgs next;
  next.key = key;
  next.first_page = "N";
  next.start = 2;
  next.end = 50001;
  auto args = next.Arguments();
  EXPECT_THROW(client.Call("GetRegistro", args), comp::EServerError);
}

TEST_F(AbandonedExports, AFullStoreRefusesNewFilesWithAStatusThatSaysWhy) {
  ServerProcess server(database, {"--max-stored-lines", "5"});
  ServerClient client(server.port());
  const auto first = FirstLine(client);
  ASSERT_EQ(first.at(0).AsString(), "OK");
  const std::int64_t stored = StoredLines(database);
  ASSERT_GE(stored, 5);

  const auto refused = FirstLine(client);
  EXPECT_EQ(
      refused.at(0).AsString(),
      "Servidor de aplicação sem espaço para novos arquivos: " + std::to_string(stored) +
          " linhas de exportações não concluídas estão guardadas (limite 5). Tente novamente quando elas "
          "terminarem.");
  EXPECT_EQ(refused.at(1).AsPacket().rows.size(), 0u);
  EXPECT_EQ(refused.at(3).AsString(), "N");
  EXPECT_EQ(refused.at(4).AsString(), "");

  Cancel(client, first.at(4).AsString());
  EXPECT_EQ(FirstLine(client).at(0).AsString(), "OK");
}

TEST_F(AbandonedExports, AFirstPageWhoseClientIsGoneIsDroppedWhenItIsBuilt) {
  // A file large enough that the client is gone long before it is built.
  PrepareDatabase(database, {"--demo-volume", "4001"});
  ServerProcess server(database);
  RegistroArgs a;
  a.company = "90";
  a.registration = "900000009008";
  a.tax = "";
  std::vector<comp::CallArgument> arguments = a.Arguments();
  const std::string body = wire::EncodeRequest({"Mag04200.rdmArqMag", "GetRegistro", arguments});
  const std::int64_t before = LastRequest(database);
  {
    RawConnection connection(server.port());
    connection.Send("POST /v1/call HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                    body);
  }
  // The build stores its lines, finds nobody to answer, and drops them.
  ASSERT_TRUE(Within(120s, [&] { return LastRequest(database) > before; }));
  EXPECT_TRUE(Within(30s, [&] { return StoredLines(database) == 0; }));
  ServerClient client(server.port());
  EXPECT_EQ(client.Fetch(a).status, "OK");  // the server goes on serving
}

}  // namespace
