#include <gtest/gtest.h>
#include <httplib.h>

#include "lib/wire/rpc.h"
#include "tests/support/server_process.h"

namespace {

// Raw requests, as a broken or hostile client would send them.
TEST(MalformedRequests, EachGetsAnErrorOfItsKindAndTheServerKeepsServing) {
  const std::string database = TestDatabase("malformed");
  PrepareDatabase(database, {"--init-demo"});
  ServerProcess server(database, {"--max-body", "4096"});
  httplib::Client http("127.0.0.1", server.port());

  const std::string company = R"({"kind":"string","value":"01"})";
  struct Case {
    const char* name;
    std::string body;
    int status;
    const char* kind;
  } cases[] = {
      {"not JSON", "{\"server\":", 400, "bad-request"},
      {"no method", R"({"server":"Mag04200.rdmArqMag","args":[]})", 400, "bad-request"},
      {"args not a list", R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":{}})", 400,
       "bad-request"},
      {"unknown value kind",
       R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[{"kind":"blob"}]})", 400,
       "bad-request"},
      {"unknown server", R"({"server":"Other.rdm","method":"GetEmpresa","args":[)" + company + "]}", 404,
       "unknown-server"},
      {"unknown method", R"({"server":"Mag04200.rdmArqMag","method":"DropTables","args":[]})", 404,
       "unknown-method"},
      {"too many arguments",
       R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[)" + company + "," + company + "]}",
       400, "bad-arguments"},
      {"wrong kind",
       R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[{"kind":"double","value":1}]})", 400,
       "bad-arguments"},
      {"GetRegistro with three arguments",
       R"({"server":"Mag04200.rdmArqMag","method":"GetRegistro","args":[)" + company + "," + company + "," +
           company + "]}",
       400, "bad-arguments"},
      {"oversized body", std::string(8192, ' '), 413, "too-large"},
  };
  for (const Case& c : cases) {
    const auto result = http.Post("/v1/call", c.body, "application/json");
    ASSERT_TRUE(result) << c.name;
    EXPECT_EQ(result->status, c.status) << c.name;
    const auto reply = wire::DecodeReply(result->body);
    ASSERT_TRUE(std::holds_alternative<wire::CallError>(reply)) << c.name << ": " << result->body;
    EXPECT_STREQ(wire::ErrorKindName(std::get<wire::CallError>(reply).kind), c.kind) << c.name;
  }
  const auto alive = http.Post(
      "/v1/call", R"({"server":"Mag04200.rdmArqMag","method":"GetEmpresa","args":[)" + company + "]}",
      "application/json");
  ASSERT_TRUE(alive);
  EXPECT_EQ(alive->status, 200);
  EXPECT_EQ(server.Stop(), 0);
  DropTestDatabase(database);
}

}  // namespace
