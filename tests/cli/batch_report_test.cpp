#include "host/cli/batch_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using cli::FileOutcome;
using cli::FileStatus;

FileOutcome Outcome(FileStatus status, const std::string& name, const std::string& message = "") {
  FileOutcome outcome;
  outcome.file.options.empresa = "01";
  outcome.file.options.inscricao = "110042490114";
  outcome.file.options.de = "03/2026";
  outcome.file.options.ate = "03/2026";
  outcome.file.state = "SP";
  outcome.name = name;
  outcome.status = status;
  outcome.message = message;
  return outcome;
}

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> Names(const std::filesystem::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class BatchReport : public testing::Test {
 protected:
  BatchReport() {
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = std::filesystem::temp_directory_path() /
           ("mag_batch_report_" + std::to_string(getpid()) + "_" + test);
    std::filesystem::remove_all(dir_);
  }
  ~BatchReport() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
};

TEST_F(BatchReport, CsvHasOneRowPerFileWithItsStatusAndCounts) {
  FileOutcome made = Outcome(FileStatus::Made, "01_110042490114_SP_202603.txt");
  made.lines = 1234;
  made.errors = 2;
  made.warnings = 1;
  made.seconds = 12.34;
  FileOutcome substitute = Outcome(FileStatus::Kept, "st.txt");
  substitute.file.options.inscricao_st = "123456789";
  substitute.file.options.tipo = "GIA-ST";
  substitute.file.options.ate = "05/2026";
  substitute.file.state = "RJ";
  substitute.seconds = 0.96;
  const std::vector<std::pair<FileOutcome, std::string>> cases = {
      {made,
       "01;110042490114;;SP;SINTEGRA;03/2026;03/2026;01_110042490114_SP_202603.txt;feito;;1234;2;1;12,3"},
      {substitute, "01;110042490114;123456789;RJ;GIA-ST;03/2026;05/2026;st.txt;mantido;;0;0;0;1,0"},
      {Outcome(FileStatus::RefusedByScreen, "b.txt", "Mês fechado"),
       "01;110042490114;;SP;SINTEGRA;03/2026;03/2026;b.txt;recusado pela tela;Mês fechado;0;0;0;0,0"},
      {Outcome(FileStatus::RefusedByServer, "c.txt", "linha 1\nlinha 2"),
       "01;110042490114;;SP;SINTEGRA;03/2026;03/2026;c.txt;recusado pelo servidor;\"linha 1\nlinha "
       "2\";0;0;0;0,0"},
      {Outcome(FileStatus::Failed, "a;b \"c\".txt", "servidor inacessível"),
       "01;110042490114;;SP;SINTEGRA;03/2026;03/2026;\"a;b \"\"c\"\".txt\";falhou;servidor "
       "inacessível;0;0;0;0,0"},
  };
  std::vector<FileOutcome> outcomes;
  std::string expected =
      "\xEF\xBB\xBF"
      "empresa;inscricao;inscricao-st;uf;tipo;de;ate;arquivo;situacao;mensagem;linhas;erros;avisos;"
      "segundos\r\n";
  for (const auto& [outcome, line] : cases) {
    outcomes.push_back(outcome);
    expected += line + "\r\n";
  }

  cli::WriteReport((dir_ / "novo").string(), "Lote de março", outcomes);

  EXPECT_EQ(Read(dir_ / "novo" / "relatorio.csv"), expected);
  EXPECT_EQ(Names(dir_ / "novo"), (std::set<std::string>{"relatorio.csv", "relatorio.html"}));
}

TEST_F(BatchReport, HtmlEscapesWhatItShowsAndLinksEachMessageToItsDetails) {
  FileOutcome checked = Outcome(FileStatus::Made, "a&b.txt");
  checked.errors = 1;
  checked.findings = "registro 50: <valor> inválido";
  const std::vector<FileOutcome> outcomes = {
      Outcome(FileStatus::Made, "limpo.txt"),
      checked,
      Outcome(FileStatus::RefusedByScreen, "b.txt", "<script>alert(\"x&y\")</script>"),
  };

  cli::WriteReport(dir_.string(), "Lote <1>", outcomes);
  const std::string html = Read(dir_ / "relatorio.html");

  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("<title>Lote &lt;1&gt;</title>"), std::string::npos);
  EXPECT_NE(html.find("3 arquivos: 2 feitos, 1 recusado pela tela"), std::string::npos);
  EXPECT_NE(html.find("<th data-tipo=\"numero\">segundos</th>"), std::string::npos);
  EXPECT_EQ(html.find("href=\"#arquivo-1\""), std::string::npos) << "a clean file has no details";
  EXPECT_NE(html.find("<td class=\"feito\"><a href=\"#arquivo-2\">feito</a></td>"), std::string::npos);
  EXPECT_NE(html.find("<td class=\"recusado\"><a href=\"#arquivo-3\">recusado pela tela</a></td>"),
            std::string::npos);
  EXPECT_NE(html.find("<td>a&amp;b.txt</td>"), std::string::npos);
  EXPECT_NE(html.find("<pre>registro 50: &lt;valor&gt; inválido</pre>"), std::string::npos);

  const auto details = html.find("<section id=\"arquivo-3\">");
  ASSERT_NE(details, std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(&quot;x&amp;y&quot;)&lt;/script&gt;", details), std::string::npos);
  EXPECT_EQ(html.find("<script>alert"), std::string::npos);
  EXPECT_EQ(html.find("src="), std::string::npos) << "the page needs nothing but itself";
  EXPECT_EQ(html.find("<link"), std::string::npos);
}

TEST(BatchSummary, CountsEachStatusInTheRightNumber) {
  using S = FileStatus;
  const std::vector<std::pair<std::vector<S>, std::string>> cases = {
      {{}, "0 arquivos\n"},
      {{S::Made}, "1 arquivo: 1 feito\n"},
      {{S::Made, S::Made, S::Kept, S::RefusedByScreen, S::RefusedByServer, S::RefusedByServer, S::Failed},
       "7 arquivos: 2 feitos, 1 mantido, 1 recusado pela tela, 2 recusados pelo servidor, 1 falhou\n"},
      {{S::Kept, S::Kept, S::RefusedByScreen, S::RefusedByScreen, S::Failed, S::Failed},
       "6 arquivos: 2 mantidos, 2 recusados pela tela, 2 falharam\n"},
  };
  for (const auto& [statuses, expected] : cases) {
    std::vector<FileOutcome> outcomes;
    for (S status : statuses) outcomes.push_back(Outcome(status, "x.txt"));
    const std::string summary = cli::TerminalSummary(outcomes);
    EXPECT_EQ(summary.substr(0, summary.find('\n') + 1), expected);
  }
}

TEST(BatchSummary, NamesTheFindingsAndEachFileNotMade) {
  FileOutcome checked = Outcome(FileStatus::Made, "a.txt");
  checked.errors = 2;
  checked.warnings = 1;
  FileOutcome warned = Outcome(FileStatus::Kept, "k.txt");
  warned.warnings = 3;
  FileOutcome failed = Outcome(FileStatus::Failed, "c.txt", "servidor\r\ninacessível\n");
  failed.file.options.empresa = "02";
  failed.file.options.inscricao_st = "99";
  const std::vector<FileOutcome> outcomes = {
      checked, warned, Outcome(FileStatus::Made, "limpo.txt"),
      Outcome(FileStatus::RefusedByScreen, "b.txt", "O mês está fechado."), failed};

  EXPECT_EQ(cli::TerminalSummary(outcomes),
            "5 arquivos: 2 feitos, 1 mantido, 1 recusado pela tela, 1 falhou\n"
            "com achados do verificador: 2 (a.txt: 2 erros, 1 aviso; k.txt: 3 avisos)\n"
            "recusado pela tela: b.txt (empresa 01, inscrição 110042490114): O mês está fechado.\n"
            "falhou: c.txt (empresa 02, inscrição 110042490114, inscrição ST 99): servidor inacessível\n");
}

TEST(BatchSummary, KeepsToOneScreenSayingHowManyMore) {
  std::vector<FileOutcome> outcomes(25, Outcome(FileStatus::Failed, "x.txt", "sem conexão"));
  const std::string summary = cli::TerminalSummary(outcomes);

  std::istringstream lines(summary);
  std::vector<std::string> shown;
  for (std::string line; std::getline(lines, line);) shown.push_back(line);
  ASSERT_EQ(shown.size(), 22u) << summary;
  EXPECT_EQ(shown[20], "falhou: x.txt (empresa 01, inscrição 110042490114): sem conexão");
  EXPECT_EQ(shown[21], "… e mais 5");
}

TEST(BatchSummary, OnlyAFileMadeOrKeptWithoutFindingsIsClean) {
  FileOutcome warned = Outcome(FileStatus::Made, "a.txt");
  warned.warnings = 1;
  FileOutcome wrong = Outcome(FileStatus::Kept, "a.txt");
  wrong.errors = 1;
  EXPECT_TRUE(cli::Clean(Outcome(FileStatus::Made, "a.txt")));
  EXPECT_TRUE(cli::Clean(Outcome(FileStatus::Kept, "a.txt")));
  EXPECT_FALSE(cli::Clean(warned));
  EXPECT_FALSE(cli::Clean(wrong));
  EXPECT_FALSE(cli::Clean(Outcome(FileStatus::RefusedByServer, "a.txt")));
  EXPECT_FALSE(cli::Clean(Outcome(FileStatus::Failed, "a.txt")));
}

std::string ErrorOf(const std::filesystem::path& directory) {
  try {
    cli::WriteReport(directory.string(), "Lote", {Outcome(FileStatus::Made, "a.txt")});
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

TEST_F(BatchReport, AReportThatCannotBeWrittenIsNamedAndLeavesNoTemporaryFile) {
  // A folder under a plain file cannot be made, whoever runs the test.
  std::filesystem::create_directories(dir_);
  std::ofstream(dir_ / "arquivo") << "x";
  EXPECT_NE(ErrorOf(dir_ / "arquivo" / "lote").find("relatorio.csv"), std::string::npos);

  // A folder in the report's place: the page cannot be renamed over it.
  std::filesystem::create_directories(dir_ / "lote" / "relatorio.html" / "dentro");
  EXPECT_NE(ErrorOf(dir_ / "lote").find("relatorio.html"), std::string::npos);
  EXPECT_EQ(Names(dir_ / "lote"), (std::set<std::string>{"relatorio.csv", "relatorio.html"}));
}

}  // namespace
