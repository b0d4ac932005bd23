// Another system's magnetic file merged with `mag-server import-file`: the
// demo retailer's January (printers, consumer notes, products) is exported,
// its rows are taken out of a second database, and the file brings them back.
#include <gtest/gtest.h>

#include <unistd.h>

#include "server/demo/demo_retail.h"
#include "tests/import/import_support.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

class RegisterFileImport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string source = TestDatabase("merge_source");
    PrepareDatabase(source, {"--init-demo"});
    {
      ServerProcess server(source);
      const auto file = ServerClient(server.port()).Fetch(January());
      ASSERT_EQ(file.status, "OK");
      for (const auto& line : file.lines) pos_file_ += line + "\r\n";
      const auto notes = ServerClient(server.port()).Fetch(RegistroArgs());
      ASSERT_EQ(notes.status, "OK");
      for (const auto& line : notes.lines) notes_file_ += line + "\r\n";
    }
    DropTestDatabase(source);
  }
  static RegistroArgs January() {
    RegistroArgs a;
    a.company = "05";
    a.registration = server::RetailRegistration();
    return a;
  }
  void SetUp() override {
    database_ = TestDatabase("merge");
    PrepareDatabase(database_, {"--init-demo"});
    // The retailer's printers and consumer notes were never entered here:
    // they live in the point-of-sale program, which gives them as a file.
    Execute(
        "DELETE FROM ECFITEM; DELETE FROM ECFTOTALIZADOR; DELETE FROM ECFREDUCAOZ; DELETE FROM ECF;"
        " DELETE FROM NOTACONSUMIDORITEM; DELETE FROM NOTACONSUMIDOR;"
        " UPDATE MAPAFISCAL SET IDBLOQUEADO = 'N' WHERE CDEMPRESA = '05'");
    path_ =
        (std::filesystem::temp_directory_path() / ("mag_pdv_" + std::to_string(getpid()) + ".txt")).string();
    WriteText(path_, pos_file_);
  }
  void TearDown() override {
    DropTestDatabase(database_);
    std::filesystem::remove(path_);
  }
  void Execute(const std::string& statements) const { sql::OpenSession(database_)->Execute(statements); }
  CommandRun Merge(const std::string& registration = server::RetailRegistration(),
                   const std::string& company = "05", const std::string& extra = "") const {
    return RunCommand(std::string(MAG_SERVER_PATH) + " import-file --database '" + database_ +
                      "' --company " + company + " --registration " + registration + " " + extra + " " +
                      path_);
  }
  // The point-of-sale program's January, and company 01's (notes with IPI,
  // ST, a cancelled one, one abroad, an energy bill without items).
  static inline std::string pos_file_, notes_file_;
  std::string database_, path_;
};

TEST_F(RegisterFileImport, TheMergedRegistersComeOutOfTheCompanysNextFileAsTheyWent) {
  const CommandRun run = Merge();
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("reduções Z (60M): 6, totalizadores (60A): 20, itens de cupom (60I): 36\n"
                            "notas de consumidor (61): 5, itens do resumo mensal (61R): 4\n"
                            "produtos (75): 6, novos: 0\n"),
            std::string::npos)
      << run.output;
  // The notes, GNRE and freight bills were the company's already: only reported.
  EXPECT_NE(run.output.find("não importados: 50 (3 linhas), 51 (1 linha), 53 (1 linha), 54 (7 linhas), 55 (1 "
                            "linha), 70 (2 linhas)"),
            std::string::npos)
      << run.output;

  Execute("UPDATE MAPAFISCAL SET IDBLOQUEADO = 'S' WHERE CDEMPRESA = '05'");
  {
    ServerProcess server(database_);
    const auto file = ServerClient(server.port()).Fetch(January());
    ASSERT_EQ(file.status, "OK");
    std::string text;
    for (const auto& line : file.lines) text += line + "\r\n";
    EXPECT_EQ(text, pos_file_);
  }
  // The same file again replaces what it brought: nothing doubles.
  Execute("UPDATE MAPAFISCAL SET IDBLOQUEADO = 'N' WHERE CDEMPRESA = '05'");
  const std::string merged = Snapshot(database_);
  ASSERT_EQ(Merge().status, 0);
  EXPECT_EQ(Snapshot(database_), merged);
}

TEST_F(RegisterFileImport, TheNotesOfAFileComeBackWhenAskedFor) {
  Execute(
      "DELETE FROM NOTAFISCALITEM WHERE NRSEQNOTA IN (SELECT NRSEQNOTA FROM NOTAFISCAL WHERE CDEMPRESA = '01'"
      " AND CDINSCESTA = '110042490114'); DELETE FROM NOTAFISCAL WHERE CDEMPRESA = '01' AND CDINSCESTA ="
      " '110042490114'; UPDATE MAPAFISCAL SET IDBLOQUEADO = 'N' WHERE CDEMPRESA = '01'");
  // A 50 whose total is not its items' and charges' is refused with its line.
  std::string broken = notes_file_;
  const std::size_t first_50 = broken.find("\r\n50") + 2;
  broken[first_50 + 67] = broken[first_50 + 67] == '9' ? '8' : '9';
  WriteText(path_, broken);
  const std::string before = Snapshot(database_);
  const CommandRun refused = Merge("110042490114", "01", "--notes");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("(50): o total "), std::string::npos) << refused.output;
  EXPECT_EQ(Snapshot(database_), before);

  WriteText(path_, notes_file_);
  const CommandRun run = Merge("110042490114", "01", "--notes");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("notas (50 a 54): 18, itens (54): 48\n"), std::string::npos) << run.output;
  Execute("UPDATE MAPAFISCAL SET IDBLOQUEADO = 'S' WHERE CDEMPRESA = '01' AND NRANOMES = '202601'");
  ServerProcess server(database_);
  const auto file = ServerClient(server.port()).Fetch(RegistroArgs());
  ASSERT_EQ(file.status, "OK");
  std::string text;
  for (const auto& line : file.lines) text += line + "\r\n";
  EXPECT_EQ(text, notes_file_);
}

TEST_F(RegisterFileImport, AFileThatCannotBeCarriedAsItIsIsRefusedWithItsLineAndChangesNothing) {
  const auto line_number = [&](const std::string& prefix) {
    std::istringstream in(pos_file_);
    long n = 0;
    for (std::string line; std::getline(in, line);) {
      ++n;
      if (line.rfind(prefix, 0) == 0) return n;
    }
    return 0L;
  };
  const auto replaced_in_line = [&](long number, std::size_t at, const std::string& text) {
    std::string file = pos_file_;
    std::size_t start = 0;
    for (long n = 1; n < number; ++n) start = file.find("\r\n", start) + 2;
    file.replace(start + at, text.size(), text);
    return file;
  };
  const long d = line_number("60D"), m = line_number("60M");
  struct Case {
    const char* name;
    std::string file;
    std::string reason;
  };
  const std::vector<Case> cases = {
      // A 60D whose quantity the 60I of its day do not sum to.
      {"day-not-the-items", replaced_in_line(d, 56, "9"),
       "linha " + std::to_string(d) + " (60D): a linha não é refeita pelos demais registros do arquivo"},
      // A line the checker refuses: a date that does not exist.
      {"checker", replaced_in_line(m, 3, "20261399"), "linha " + std::to_string(m) + ": "},
  };
  const std::string before = Snapshot(database_);
  for (const Case& c : cases) {
    WriteText(path_, c.file);
    const CommandRun run = Merge();
    EXPECT_EQ(run.status, 1) << c.name << ": " << run.output;
    EXPECT_NE(run.output.find("recusado: " + path_ + ": " + c.reason), std::string::npos)
        << c.name << ": " << run.output;
  }
  WriteText(path_, pos_file_);
  // Another establishment's file.
  CommandRun other = Merge("110042490114", "01");
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.output.find("linha 1 (10): o arquivo é do CNPJ"), std::string::npos) << other.output;
  // A locked month.
  Execute("UPDATE MAPAFISCAL SET IDBLOQUEADO = 'S' WHERE CDEMPRESA = '05'");
  other = Merge();
  EXPECT_NE(other.output.find("o mês 01/2026 está bloqueado no mapa fiscal"), std::string::npos)
      << other.output;
  Execute("UPDATE MAPAFISCAL SET IDBLOQUEADO = 'N' WHERE CDEMPRESA = '05'");
  EXPECT_EQ(Snapshot(database_), before);
  // A day the company entered by another route is not entered twice.
  std::istringstream in(pos_file_);
  std::string first_day;
  while (std::getline(in, first_day) && first_day.rfind("60M", 0) != 0) {
  }
  const std::string serial = first_day.substr(11, 18), crz = first_day.substr(48, 6);
  const std::string ie = server::RetailRegistration();
  Execute("INSERT INTO ECF VALUES ('05', '" + ie + "', '" + serial + "', 1, '2D');" +
          " INSERT INTO ECFREDUCAOZ (NRSEQREDZ, CDEMPRESA, CDINSCESTA, NRSERIEECF, DTMOVIMENTO, NRCOOINICIAL,"
          " NRCOOFINAL, NRCRZ, NRCRO, VRVENDABRUTA, VRGRANDETOTAL) VALUES (1, '05', '" +
          ie + "', '" + serial + "', '2026-01-02', 1, 2, " + crz + ", 1, 0, 0)");
  const std::string entered = Snapshot(database_);
  other = Merge();
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.output.find("(60M): a redução Z " + std::to_string(std::stoi(crz)) + " do ECF " + serial +
                              " já está no banco, lançada por outra via"),
            std::string::npos)
      << other.output;
  EXPECT_EQ(Snapshot(database_), entered);
}

}  // namespace
