// An establishment registered with the state by its CPF (a rural
// producer): its file, built in process, carries the CPF zero-filled to 14
// in registers 10 and 90 and passes the checker; a CPF with wrong check
// digits refuses the file; its own documents are brought in by its CPF.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "lib/layout/layout_check.h"
#include "server/db/schema.h"
#include "server/demo/demo_data.h"
#include "server/import/dfe_store.h"
#include "server/import/import_run.h"
#include "tests/support/in_process_file.h"

namespace {

const std::string kCpf = "50795722052";

class InformantByCpf : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = BuilderTestDatabase("producer");
    session_ = sql::OpenSession(database_);
    server::Migrate(*session_);
    server::LoadDemoData(*session_);
  }
  void TearDown() override {
    session_.reset();
    if (database_ != "sqlite::memory:") DropTestDatabase(database_);
  }
  void Registry(const std::string& registration, const std::string& number) {
    session_->Execute("UPDATE INSCRESTAD SET NRINSJURIEST = :N WHERE CDEMPRESA = '01' AND CDINSCESTA = :IE",
                      {{"N", number}, {"IE", registration}});
  }
  std::string database_;
  std::unique_ptr<sql::Session> session_;
};

TEST_F(InformantByCpf, RegistersTenAndNinetyCarryTheCpfZeroFilled) {
  Registry("110042490114", "507.957.220-52");
  const FetchedFile file = BuildInProcess(*session_, RegistroArgs());  // January of the demo's company
  ASSERT_EQ(file.status, "OK");
  EXPECT_EQ(file.lines.front().substr(2, 14), "000" + kCpf);
  for (const auto& line : file.lines) {
    if (line.rfind("90", 0) == 0) {
      EXPECT_EQ(line.substr(2, 14), "000" + kCpf);
    }
  }
  std::string text;
  for (const auto& line : file.lines) text += line + "\r\n";
  std::istringstream in(text);
  const layout::Report report = layout::CheckStream(in);
  EXPECT_TRUE(report.ok()) << layout::Describe(report);
}

TEST_F(InformantByCpf, ACpfWithWrongCheckDigitsRefusesTheFile) {
  for (const char* bad : {"507.957.220-53", "00050795722053", "5079572205"}) {
    Registry("110042490114", bad);
    EXPECT_EQ(BuildInProcess(*session_, RegistroArgs()).status,
              "O CNPJ ou CPF do estabelecimento, '" + std::string(bad) +
                  "', não é válido (um CNPJ de 14 dígitos ou um CPF de 11, com os verificadores): corrija o "
                  "cadastro antes de gerar o arquivo.")
        << bad;
  }
}

TEST_F(InformantByCpf, ItsOwnDocumentIsBroughtInByItsCpf) {
  Registry("244005621111", "000" + kCpf);  // kept zero-filled: the same person
  std::ifstream in(std::string(MAG_TEST_DATA) + "/import/nfe-saida-dois-itens-frete.xml", std::ios::binary);
  std::string xml(std::istreambuf_iterator<char>(in), {});
  // Issued by the producer: its CPF in emit, and zero-filled in the key.
  const std::string key = "35260411222333000262550010000001011102030407";
  const std::string own = key.substr(0, 6) + "000" + kCpf + key.substr(20);
  for (auto at = xml.find(key); at != std::string::npos; at = xml.find(key, at))
    xml.replace(at, key.size(), own);
  const std::string issuer = "<emit><CNPJ>11222333000262</CNPJ>";
  xml.replace(xml.find(issuer), issuer.size(), "<emit><CPF>" + kCpf + "</CPF>");
  const auto path =
      std::filesystem::temp_directory_path() / ("mag_producer_" + std::to_string(getpid()) + ".xml");
  std::ofstream(path, std::ios::binary) << xml;

  server::import::DfeStore store(*session_, server::import::LoadInformant(*session_, "01", "244005621111"));
  std::string refused;
  server::import::ImportOutput output;
  output.note = [&](const std::string& line) { refused = line; };
  const auto summary = server::import::ImportDocuments(*session_, store, {path.string()}, output);
  std::filesystem::remove(path);
  EXPECT_EQ(summary.imported, 1u) << refused;
  const auto rows =
      session_->Query("SELECT IDEMITENTE FROM NOTAFISCAL WHERE DSCHAVEACESSO = :K", {{"K", own}});
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0][0], "P");  // its own exit
}

}  // namespace
