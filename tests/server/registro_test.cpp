#include <gtest/gtest.h>

#include <fstream>

#include "lib/layout/layout_check.h"
#include "lib/sql/session.h"
#include "server/demo/demo_data.h"
#include "server/store/request_store.h"
#include "tests/support/export_command.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

layout::Report Check(const std::vector<std::string>& lines) {
  std::string file;
  for (const auto& line : lines) file += line + "\r\n";
  std::istringstream in(file);
  return layout::CheckStream(in);
}

std::size_t CountType(const std::vector<std::string>& lines, const std::string& type) {
  std::size_t n = 0;
  for (const auto& l : lines) n += l.compare(0, 2, type) == 0;
  return n;
}

struct Registro : ::testing::Test {
  static inline std::string database;
  static inline std::unique_ptr<ServerProcess> server;
  static void SetUpTestSuite() {
    database = TestDatabase("registro");
    PrepareDatabase(database, {"--init-demo"});
    server =
        std::make_unique<ServerProcess>(database, std::vector<std::string>{"--output-dir", "/tmp/saida"});
  }
  static void TearDownTestSuite() {
    server.reset();
    DropTestDatabase(database);
  }
  ServerClient client{server->port()};
};

TEST_F(Registro, EveryDemoFileFollowsTheLayout) {
  struct Case {
    const char* name;
    RegistroArgs args;
  };
  std::vector<Case> cases;
  const auto add = [&](const char* name, auto change) {
    RegistroArgs a;
    change(a);
    cases.push_back({name, a});
  };
  add("january", [](RegistroArgs&) {});
  add("two months", [](RegistroArgs& a) { a.last_day = wire::EncodeDate(2026, 2, 28); });
  add("second establishment", [](RegistroArgs& a) { a.registration = "244005621111"; });
  add("company 02", [](RegistroArgs& a) {
    a.company = "02";
    a.registration = "0623079040081";
    a.tax.clear();
  });
  add("company 03", [](RegistroArgs& a) {
    a.company = "03";
    a.registration = "85400371";
  });
  add("substitute", [](RegistroArgs& a) { a.substitute = "78123451"; });
  add("states", [](RegistroArgs& a) {
    a.country = "1058";
    a.states = "RJ,MG";
  });
  add("book", [](RegistroArgs& a) { a.book = "0000000001"; });
  add("undoing", [](RegistroArgs& a) { a.purpose = "5"; });
  add("state variant", [](RegistroArgs& a) {
    a.file_type = "DIEF - MA";
    a.mask = "SNNSNNNNSNNN";
  });
  for (const Case& c : cases) {
    const auto file = client.Fetch(c.args);
    ASSERT_EQ(file.status, "OK") << c.name;
    const auto report = Check(file.lines);
    // A period of several months is the screen's to allow; the validators
    // want one, and the checker says so.
    const bool months = std::string(c.name) == "two months";
    EXPECT_EQ(report.Errors(), 0) << c.name << "\n" << layout::Describe(report);
    EXPECT_EQ(report.Warnings(), months ? 1 : 0) << c.name << "\n" << layout::Describe(report);
    EXPECT_EQ(file.directory, "/tmp/saida/") << c.name;
  }
}

TEST_F(Registro, TheNationalFileHoldsEveryGroupTheServerBuilds) {
  const auto file = client.Fetch({});
  ASSERT_EQ(file.status, "OK");
  for (const char* type : {"10", "11", "50", "51", "53", "54", "75", "90"}) {
    EXPECT_GT(CountType(file.lines, type), 0u) << type;
  }
  EXPECT_EQ(file.lines[0].substr(0, 2), "10");
  // Plain ASCII by default: the accents of the company's name are gone.
  EXPECT_EQ(file.lines[0].substr(30, 35), "Comercio Paulista de Alimentos Ltda");
  EXPECT_EQ(file.lines[0].substr(65, 30), "Sao Paulo                     ");
  EXPECT_EQ(file.lines[0].substr(107, 19), "2026010120260131331");
  EXPECT_EQ(file.lines[1],
            "11Avenida Paulista                  01000Conjunto 101          Bela Vista     01310100"
            "Maria da Conceicao Araujo   001132105001");
  // A state variant follows its mask: 50 and 54 (with the 75 of the products
  // 54 cites), no 51 or 53; the undone-operations file has no 11.
  RegistroArgs variant;
  variant.file_type = "SINTEGRA - RJ";
  variant.mask = "SNNSNNNNNNNN";
  const auto v = client.Fetch(variant);
  EXPECT_EQ(CountType(v.lines, "51") + CountType(v.lines, "53"), 0u);
  EXPECT_GT(CountType(v.lines, "75"), 0u);
  RegistroArgs undo;
  undo.purpose = "5";
  const auto u = client.Fetch(undo);
  EXPECT_EQ(CountType(u.lines, "11"), 0u);
  EXPECT_EQ(CountType(u.lines, "50"), 1u);  // the one cancelled note of January
}

TEST_F(Registro, StatusWordsTellBadParametersAndOpenFiscalMaps) {
  struct Case {
    const char* name;
    const char* status;
    std::function<void(RegistroArgs&)> change;
  } cases[] = {
      {"valid", "OK", [](RegistroArgs&) {}},
      {"short mask", "PARAM", [](RegistroArgs& a) { a.mask = "SSS"; }},
      {"mask letter", "PARAM", [](RegistroArgs& a) { a.mask = "SSSSSSSSSSSX"; }},
      {"unknown company", "PARAM", [](RegistroArgs& a) { a.company = "77"; }},
      {"registration of another company", "PARAM", [](RegistroArgs& a) { a.registration = "85400371"; }},
      {"unknown tax", "PARAM", [](RegistroArgs& a) { a.tax = "99"; }},
      {"unknown substitute", "PARAM", [](RegistroArgs& a) { a.substitute = "1"; }},
      {"first day not the 1st", "PARAM", [](RegistroArgs& a) { a.first_day = wire::EncodeDate(2026, 1, 2); }},
      {"last day not the last", "PARAM", [](RegistroArgs& a) { a.last_day = wire::EncodeDate(2026, 1, 30); }},
      {"period reversed", "PARAM",
       [](RegistroArgs& a) {
         a.first_day = wire::EncodeDate(2026, 2, 1);
         a.last_day = wire::EncodeDate(2026, 1, 31);
       }},
      {"lower-case state", "PARAM", [](RegistroArgs& a) { a.states = "sp"; }},
      {"state twice", "PARAM", [](RegistroArgs& a) { a.states = "SP,SP"; }},
      {"state with blank", "PARAM", [](RegistroArgs& a) { a.states = "SP, RJ"; }},
      {"state of another country", "PARAM",
       [](RegistroArgs& a) {
         a.country = "0249";
         a.states = "SP";
       }},
      {"version 4", "PARAM", [](RegistroArgs& a) { a.version = "4"; }},
      {"purpose 4", "PARAM", [](RegistroArgs& a) { a.purpose = "4"; }},
      {"file name with a database", "PARAM", [](RegistroArgs& a) { a.file_name = "../janeiro.txt"; }},
      {"file name dot-dot", "PARAM", [](RegistroArgs& a) { a.file_name = ".."; }},
      {"file name with NUL", "PARAM", [](RegistroArgs& a) { a.file_name = std::string("a\0b.txt", 7); }},
      {"file name with a newline", "PARAM", [](RegistroArgs& a) { a.file_name = "a\nb.txt"; }},
      {"file name with a tab", "PARAM", [](RegistroArgs& a) { a.file_name = "a\tb.txt"; }},
      {"file name with DEL", "PARAM", [](RegistroArgs& a) { a.file_name = "a\x7f.txt"; }},
      {"file type in lower case", "PARAM", [](RegistroArgs& a) { a.file_type = "sintegra"; }},
      {"unknown book", "PARAM", [](RegistroArgs& a) { a.book = "0000000099"; }},
      {"open map in March", "MP_BLOQ",
       [](RegistroArgs& a) {
         a.first_day = wire::EncodeDate(2026, 3, 1);
         a.last_day = wire::EncodeDate(2026, 3, 31);
       }},
      {"no map at all", "MP_BLOQ",
       [](RegistroArgs& a) {
         a.first_day = wire::EncodeDate(2025, 12, 1);
         a.last_day = wire::EncodeDate(2025, 12, 31);
       }},
      {"company that never locked", "MP_BLOQ",
       [](RegistroArgs& a) {
         a.company = "04";
         a.registration = "0960012346";
       }},
      {"bad parameters come before the map", "PARAM",
       [](RegistroArgs& a) {
         a.first_day = wire::EncodeDate(2026, 3, 1);
         a.last_day = wire::EncodeDate(2026, 3, 31);
         a.book = "0000000099";
       }},
  };
  for (const Case& c : cases) {
    RegistroArgs a;
    c.change(a);
    auto args = a.Arguments();
    const auto reply = client.Call("GetRegistro", args).AsArray();
    ASSERT_EQ(reply.size(), 5u) << c.name;
    EXPECT_EQ(reply[0].AsString(), c.status) << c.name;
    EXPECT_EQ(reply[2].AsString(), "/tmp/saida/") << c.name;
    if (std::string(c.status) != "OK") {
      EXPECT_TRUE(reply[1].AsPacket().rows.empty()) << c.name;
      EXPECT_EQ(reply[3].AsString(), "N") << c.name;
    }
  }
}

TEST_F(Registro, ByReferenceArgumentsComeBackAndTheKeyOpensTheNextPageOnly) {
  RegistroArgs a;
  a.end = 3;  // a tiny page, to have a second one
  auto args = a.Arguments();
  const auto reply = client.Call("GetRegistro", args).AsArray();
  ASSERT_EQ(reply[0].AsString(), "OK");
  EXPECT_EQ(reply[1].AsPacket().rows.size(), 3u);
  EXPECT_EQ(reply[3].AsString(), "S");
  EXPECT_EQ(args[15].value.AsString(), reply[4].AsString());  // the key came back by reference
  EXPECT_EQ(args[0].value.AsString(), a.mask);
  EXPECT_EQ(args[17].value.AsDouble(), 0);

  a.first_page = "N";
  a.key = reply[4].AsString() + "0";  // a forged key
  a.start = 4;
  a.end = 10;
  auto forged = a.Arguments();
  EXPECT_THROW(client.Call("GetRegistro", forged), comp::EServerError);
}

// More than 100,000 lines, in three pages.
struct Volume : ::testing::Test {
  static inline std::string database;
  static void SetUpTestSuite() {
    database = TestDatabase("volume");
    PrepareDatabase(database, {"--demo-volume", "20001"});
  }
  static void TearDownTestSuite() { DropTestDatabase(database); }
  static RegistroArgs Args() {
    RegistroArgs a;
    a.company = "90";
    a.registration = "900000009008";
    a.tax.clear();
    return a;
  }
};

TEST_F(Volume, ALargeFileComesInThreePagesEveryLineOnceInOrder) {
  ServerProcess server(database);
  ServerClient client(server.port());
  const auto file = client.Fetch(Args());
  ASSERT_EQ(file.status, "OK");
  EXPECT_EQ(file.flags, (std::vector<std::string>{"S", "N", "N"}));
  EXPECT_EQ(file.ranges,
            (std::vector<std::pair<double, double>>{{0, 50000}, {50001, 100000}, {100001, 150000}}));
  EXPECT_EQ(file.lines.size(), kVolumeLines);
  const auto report = Check(file.lines);
  EXPECT_TRUE(report.ok()) << layout::Describe(report);

  // Nothing of a finished request stays behind.
  auto session = sql::OpenSession(database);
  EXPECT_EQ(session->Query("SELECT COALESCE(SUM(NRULTIMA - NRPRIMEIRA + 1), 0) FROM ARQMAGBLOCO", {})
                .rows[0][0]
                .value_or(""),
            "0");
}

// The server that gave the first page is killed; the client, pointed at
// another server of the same database, asks for the rest with its key.
TEST_F(Volume, AnExportGoesOnOnAnotherServerWhenItsServerIsKilled) {
  auto first = std::make_unique<ServerProcess>(database);
  ServerProcess second(database);
  const auto whole = ServerClient(second.port()).Fetch(Args());

  RegistroArgs args = Args();
  auto call = args.Arguments();
  const auto page1 = ServerClient(first->port()).Call("GetRegistro", call).AsArray();
  ASSERT_EQ(page1[0].AsString(), "OK");
  ASSERT_EQ(page1[3].AsString(), "S");
  first->Kill();
  first.reset();
  std::size_t lines = page1[1].AsPacket().rows.size();
  ServerClient survivor(second.port());
  args.key = page1[4].AsString();
  args.first_page = "N";
  std::string more = "S";
  for (args.start = 50001; more == "S"; args.start += 50000) {
    args.end = args.start + 49999;
    auto next = args.Arguments();
    const auto page = survivor.Call("GetRegistro", next).AsArray();
    lines += page[1].AsPacket().rows.size();
    more = page[3].AsString();
  }
  EXPECT_EQ(lines, whole.lines.size());
}

TEST_F(Volume, AnyServerOnTheSameDatabaseServesAnyPage) {
  ServerProcess first(database);
  ServerProcess second(database);
  ServerClient a(first.port());
  ServerClient b(second.port());
  const auto whole = a.Fetch(Args());

  RegistroArgs args = Args();
  auto call = args.Arguments();
  const auto page1 = a.Call("GetRegistro", call).AsArray();
  std::vector<std::string> lines;
  const auto take = [&](const wire::VariantArray& reply) {
    const auto& packet = reply.at(1).AsPacket();
    for (const auto& row : packet.rows) {
      lines.push_back(std::get<std::string>(row.at(packet.FieldIndex("DSREGARQMAG"))));
    }
  };
  take(page1);
  args.key = page1[4].AsString();
  args.first_page = "N";
  for (double start = 50001; start < 150000; start += 50000) {
    args.start = start;
    args.end = start + 49999;
    auto next = args.Arguments();
    take((start < 100000 ? b : a).Call("GetRegistro", next).AsArray());
  }
  EXPECT_EQ(lines, whole.lines);
}

TEST(Encoding, TheServerCanKeepIsoLettersInsteadOfPlainAscii) {
  const std::string database = TestDatabase("latin1");
  PrepareDatabase(database, {"--init-demo"});
  {
    ServerProcess server(database, {"--keep-latin1"});
    ServerClient client(server.port());
    const auto file = client.Fetch({});
    ASSERT_EQ(file.status, "OK");
    EXPECT_EQ(file.lines[0].substr(30, 8), "Com\xE9rcio");
    EXPECT_EQ(file.lines[0].size(), 126u);
    EXPECT_TRUE(Check(file.lines).ok());
  }
  DropTestDatabase(database);
}

}  // namespace

namespace {

TEST(RequestStore, AbandonedRequestsAreDroppedAndFailedBuildsLeaveNothing) {
  const std::string database = TestDatabase("store");
  PrepareDatabase(database, {});
  auto session = sql::OpenSession(database);
  server::RequestStore store(*session);
  const auto lines = [&] {
    return session->Query("SELECT COALESCE(SUM(NRULTIMA - NRPRIMEIRA + 1), 0) FROM ARQMAGBLOCO", {})
        .rows[0][0]
        .value_or("");
  };

  const auto old = store.Create([](server::LineSink& out) { out.Line("a"), out.Line("b"); }, 1000);
  const auto recent = store.Create([](server::LineSink& out) { out.Line("c"); }, 4000);
  EXPECT_EQ(lines(), "3");
  EXPECT_EQ(store.Expire(4600, 3600), 1);  // only the one untouched since 1000
  EXPECT_FALSE(store.Find(old.key, 4600));
  ASSERT_TRUE(store.Find(recent.key, 4600));
  EXPECT_EQ(lines(), "1");

  EXPECT_THROW(store.Create(
                   [](server::LineSink& out) {
                     out.Line("d");
                     throw std::runtime_error("the build failed half-way");
                   },
                   5000),
               std::runtime_error);
  EXPECT_EQ(lines(), "1");
  DropTestDatabase(database);
}

}  // namespace
