// Who may call an office's server: users with roles in a users file, every
// call but the handshake naming its user, wrong passwords slowed down, the
// server closed by default beyond loopback, and a record of who did what.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "lib/wire/rpc.h"
#include "tests/import/import_support.h"
#include "tests/support/registro_args.h"
#include "tests/support/server_process.h"

namespace {

const std::string kServer = std::string(MAG_SERVER_PATH);

class Access : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = TestDatabase("access");
    PrepareDatabase(database_, {"--init-demo"});
    dir_ = std::filesystem::temp_directory_path() / ("mag_access_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    users_ = (dir_ / "usuarios").string();
    for (const auto& [name, role] : {std::pair{"ana", "consulta"}, {"bia", "importacao"}}) {
      const CommandRun added = RunCommand("echo " + std::string(name) + "-senha-123 | " + kServer +
                                          " user add --users " + users_ + " " + name + " " + role);
      EXPECT_EQ(added.status, 0) << added.output;
    }
  }
  void TearDown() override {
    DropTestDatabase(database_);
    std::filesystem::remove_all(dir_);
  }
  static std::string Call(const std::string& method, const std::vector<wire::Argument>& args) {
    return wire::EncodeRequest({"Mag04200.rdmArqMag", method, args});
  }
  std::string database_;
  std::filesystem::path dir_;
  std::string users_;
};

TEST_F(Access, EveryCallButTheHandshakeNamesItsUserAndTheRoleDecides) {
  EXPECT_EQ(RunCommand(kServer + " user list --users " + users_).output, "ana consulta\nbia importacao\n");
  ServerProcess server(database_, {"--users", users_, "--output-dir", dir_.string()});
  httplib::Client http("127.0.0.1", server.port());
  const std::string companies = Call("GetEmpresa", {wire::Argument{wire::Variant("T")}});
  const std::string xml = ReadText(Fixture("nfe-saida-dois-itens-frete.xml"));
  const std::string import = "/v1/import?company=01&registration=244005621111&file=nfe.xml";

  EXPECT_EQ(http.Get("/v1/servers/Mag04200.rdmArqMag")->status, 200);
  for (const auto& reply :
       {http.Post("/v1/call", companies, "application/json"), http.Post(import, xml, "application/xml")}) {
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 401);
    EXPECT_NE(reply->body.find(R"("kind":"unauthenticated","message":"Usuário ou senha inválidos.")"),
              std::string::npos)
        << reply->body;
    EXPECT_EQ(reply->get_header_value("WWW-Authenticate"), R"(Basic realm="mag-server", charset="UTF-8")");
  }

  // consulta: lookups and exports, no import.
  http.set_basic_auth("ana", "ana-senha-123");
  EXPECT_EQ(http.Post("/v1/call", companies, "application/json")->status, 200);
  RegistroArgs january;
  const auto exported = http.Post("/v1/call", Call("GetRegistro", january.Arguments()), "application/json");
  ASSERT_TRUE(exported);
  EXPECT_EQ(exported->status, 200);
  EXPECT_NE(exported->body.find("\"OK\""), std::string::npos) << exported->body.substr(0, 300);
  const auto refused = http.Post(import, xml, "application/xml");
  EXPECT_EQ(refused->status, 403);
  EXPECT_NE(refused->body.find(R"("kind":"forbidden")"), std::string::npos) << refused->body;
  EXPECT_NE(refused->body.find("não pode importar documentos"), std::string::npos) << refused->body;

  // importacao: imports too.
  http.set_basic_auth("bia", "bia-senha-123");
  const auto imported = http.Post(import, xml, "application/xml");
  EXPECT_EQ(imported->status, 200);
  EXPECT_NE(imported->body.find(R"("imported":1)"), std::string::npos) << imported->body;

  // Wrong passwords from one address wait longer each time.
  http.set_basic_auth("ana", "errada");
  std::vector<double> waits;
  for (int k = 0; k < 3; ++k) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(http.Post("/v1/call", companies, "application/json")->status, 401);
    waits.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  EXPECT_GE(waits[2], 0.7) << waits[0] << " " << waits[1] << " " << waits[2];
  EXPECT_GT(waits[2], waits[0]);
  server.Stop();

  // The record: the export and the import with their users, the failed
  // logins; no fiscal value, no password.
  const std::string audit = RunCommand(kServer + " audit --database '" + database_ + "'").output;
  EXPECT_NE(
      audit.find("  ana  127.0.0.1  exportacao  empresa 01, inscrição 110042490114, período 2026-01-01 a "
                 "2026-01-31, arquivo janeiro.txt, "),
      std::string::npos)
      << audit;
  EXPECT_NE(audit.find("  bia  127.0.0.1  importacao  empresa 01, inscrição 244005621111, arquivo nfe.xml: 1 "
                       "arquivos, 1 importados"),
            std::string::npos)
      << audit;
  EXPECT_NE(audit.find("  ana  127.0.0.1  login-falho  "), std::string::npos) << audit;
  EXPECT_EQ(audit.find("errada"), std::string::npos) << audit;
  EXPECT_EQ(audit.find("senha-123"), std::string::npos) << audit;
}

TEST_F(Access, ANetworkServerIsClosedByDefaultAndTheUsersFileIsTheOwnersOnly) {
  const CommandRun open = RunCommand(kServer + " --database '" + database_ + "' --listen 0.0.0.0 --port 0");
  EXPECT_EQ(open.status, 2) << open.output;
  EXPECT_NE(open.output.find("mag-server user add --users"), std::string::npos) << open.output;

  chmod(users_.c_str(), 0644);
  const CommandRun readable =
      RunCommand(kServer + " --database '" + database_ + "' --port 0 --users " + users_);
  EXPECT_EQ(readable.status, 2) << readable.output;
  EXPECT_NE(readable.output.find("pode ser lido ou alterado por outros além do dono (modo 0644)"),
            std::string::npos)
      << readable.output;
  chmod(users_.c_str(), 0600);

  // --insecure-open serves, saying so.
  const std::string log = (dir_ / "open.log").string();
  { ServerProcess insecure(database_, {"--listen", "0.0.0.0", "--insecure-open"}, kServer, log); }
  EXPECT_NE(ReadText(log).find("AVISO: servidor aberto em 0.0.0.0"), std::string::npos) << ReadText(log);

  EXPECT_EQ(RunCommand(kServer + " user del --users " + users_ + " ana").status, 0);
  EXPECT_EQ(RunCommand(kServer + " user list --users " + users_).output, "bia importacao\n");
  EXPECT_EQ(RunCommand("echo curta | " + kServer + " user add --users " + users_ + " caio consulta").status,
            1);
  EXPECT_EQ(
      RunCommand("echo longa-o-bastante | " + kServer + " user add --users " + users_ + " caio chefe").status,
      2);
}

}  // namespace
