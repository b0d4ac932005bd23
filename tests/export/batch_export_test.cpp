// The office's month in one command: mag-export --todas and --lote against a
// real server, each file through a screen of its own.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "lib/layout/layout_check.h"
#include "lib/sql/session.h"
#include "tests/support/command_run.h"
#include "tests/support/demo_server.h"

namespace {

namespace fs = std::filesystem;

struct BatchExport : ::testing::Test {
  static inline std::unique_ptr<DemoServer> demo;
  static inline fs::path scratch;
  static void SetUpTestSuite() {
    demo = std::make_unique<DemoServer>("batch");
    scratch = fs::temp_directory_path() / ("mag_batch_work_" + std::to_string(getpid()));
    fs::create_directories(scratch);
  }
  static void TearDownTestSuite() {
    demo.reset();
    fs::remove_all(scratch);
  }

  static CommandRun Export(const std::string& options) {
    return RunCommand(std::string(MAG_EXPORT_PATH) + " --settings /dev/null --server 127.0.0.1:" +
                      std::to_string(demo->server->port()) + " --database " + demo->database + " " + options);
  }
  static std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The files of the output directory and when each was last written.
  static std::map<std::string, fs::file_time_type> Files() {
    std::map<std::string, fs::file_time_type> files;
    for (const auto& entry : fs::directory_iterator(demo->out))
      files[entry.path().filename()] = entry.last_write_time();
    return files;
  }
};

TEST_F(BatchExport, TheMonthOfEveryLockedRegistrationIsMadeAndWhatDidNotChangeIsKept) {
  const fs::path report = scratch / "relatorio";
  const CommandRun first = Export("--todas 01/2026 --relatorio " + report.string());
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_EQ(FirstLine(first.output), "8 arquivos: 8 feitos");
  const auto made = Files();
  // Company 01 is a substitute in MG and RJ: a file for each state.
  for (const char* name :
       {"01_110042490114_SP_202601.txt", "01_0012345670053_MG_202601.txt", "01_78123451_RJ_202601.txt",
        "01_244005621111_SP_202601.txt", "02_0623079040081_MG_202601.txt", "03_85400371_RJ_202601.txt",
        "05_123456794005_SP_202601.txt", "06_283000007_MS_202601.txt"}) {
    ASSERT_EQ(made.count(name), 1u) << name << "\n" << first.output;
    const auto check = layout::CheckFile((demo->out / name).string());
    EXPECT_TRUE(check.ok()) << name << "\n" << layout::Describe(check);
  }
  EXPECT_EQ(made.size(), 8u);
  const std::string csv = Read(report / "relatorio.csv");
  EXPECT_NE(
      csv.find("01;110042490114;0012345670053;MG;SINTEGRA;01/2026;01/2026;01_0012345670053_MG_202601.txt;"
               "feito;;19;0;0;"),
      std::string::npos)
      << csv;
  EXPECT_NE(Read(report / "relatorio.html").find("01_78123451_RJ_202601.txt"), std::string::npos);

  // Again: nothing changed, nothing is rewritten.
  const CommandRun second = Export("--todas 01/2026");
  EXPECT_EQ(second.status, 0) << second.output;
  EXPECT_EQ(FirstLine(second.output), "8 arquivos: 8 mantidos");
  EXPECT_EQ(Files(), made);

  // A note changed: exactly its file is made again.
  auto session = sql::OpenSession(demo->database);
  session->Execute(
      "UPDATE NOTAFISCAL SET VRFRETE = VRFRETE + 100 WHERE NRSEQNOTA = (SELECT MIN(NRSEQNOTA) FROM "
      "NOTAFISCAL "
      "WHERE CDEMPRESA = '02' AND DTDOCUMENTO LIKE '2026-01%')");
  session.reset();
  const CommandRun third = Export("--todas 01/2026");
  EXPECT_EQ(third.status, 0) << third.output;
  EXPECT_EQ(FirstLine(third.output), "8 arquivos: 1 feito, 7 mantidos");
  const auto after = Files();
  for (const auto& [name, written] : made) {
    if (name == "02_0623079040081_MG_202601.txt") {
      EXPECT_NE(after.at(name), written);
    } else {
      EXPECT_EQ(after.at(name), written) << name;
    }
  }
  EXPECT_EQ(FirstLine(Export("--todas 01/2026 --refazer --paralelo 3").output), "8 arquivos: 8 feitos");
}

TEST_F(BatchExport, APlansBadLinesAreReportedInTheirOwnWordsWhileTheOthersAreMade) {
  const fs::path plan = scratch / "plano.csv";
  std::ofstream(plan) << "empresa,inscricao,inscricao-st,de,versao,nome\n"
                         "01,110042490114,,01/2026,,lote-bom.txt\n"
                         "77,110042490114,,01/2026,,\n"
                         "02,0623079040081,,01/2026,,a*b.txt\n"
                         "01,110042490114,,03/2026,,marco.txt\n"
                         "01,110042490114,,01/2026,1,versao1.txt\n"
                         "02,0623079040081,99,01/2026,,st.txt\n";
  const fs::path report = scratch / "relatorio-plano";
  const CommandRun run = Export("--lote " + plan.string() + " --relatorio " + report.string());
  EXPECT_EQ(run.status, 1) << run.output;
  const char* const said[] = {
      "6 arquivos: 1 feito, 4 recusados pela tela, 1 recusado pelo servidor",
      "recusado pela tela: 77_110042490114__202601.txt (empresa 77, inscrição 110042490114): Empresa não "
      "cadastrada.",
      "recusado pela tela: a*b.txt (empresa 02, inscrição 0623079040081): --nome: a tela recusa no nome os "
      "caracteres *",
      "recusado pela tela: marco.txt (empresa 01, inscrição 110042490114): Para geração da declaração "
      "acessória o "
      "mapa deve estar bloqueado.",
      "recusado pelo servidor: versao1.txt (empresa 01, inscrição 110042490114): A estrutura do convênio 1 "
      "não "
      "vale para períodos a partir de 2004; use 3.",
      "recusado pela tela: st.txt (empresa 02, inscrição 0623079040081, inscrição ST 99): --inscricao-st: o "
      "regime da empresa 02 não tem inscrição do substituto; a tela desabilita o campo",
  };
  for (const char* line : said)
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  EXPECT_TRUE(layout::CheckFile((demo->out / "lote-bom.txt").string()).ok());
  for (const char* name : {"marco.txt", "versao1.txt", "st.txt", "a*b.txt"})
    EXPECT_FALSE(fs::exists(demo->out / name));
  // --finalidade is every line's that leaves it out: register 10 ends with it.
  std::ofstream(plan) << "empresa,inscricao,de,nome\n01,110042490114,01/2026,retificacao.txt\n";
  EXPECT_EQ(Export("--lote " + plan.string() + " --finalidade 2").status, 0);
  const std::string corrected = Read(demo->out / "retificacao.txt");
  EXPECT_EQ(corrected.substr(0, 2) + corrected.substr(125, 1), "102") << corrected.substr(0, 128);
  const std::string csv = Read(report / "relatorio.csv");
  EXPECT_NE(csv.find(";recusado pelo servidor;\"A estrutura do convênio 1"), std::string::npos) << csv;
}

TEST_F(BatchExport, APlanThatCannotBeReadMakesNothing) {
  const fs::path plan = scratch / "ruim.csv";
  const struct {
    const char* name;
    std::string plan;  // written to the plan file, or empty: the options alone
    std::string options;
    const char* said;
  } cases[] = {
      {"unknown column", "empresa,inscricao,de,cor\n01,110042490114,01/2026,azul\n", "",
       "mag-export: --lote: linha 1: a coluna 'cor' não é uma opção da tela"},
      {"blank lines before the header", "\n\nempresa,inscricao,de,cor\n", "",
       "mag-export: --lote: linha 3: a coluna 'cor' não é uma opção da tela"},
      {"no company column", "inscricao,de\n110042490114,01/2026\n", "",
       "mag-export: --lote: linha 1: o plano não tem a coluna 'empresa'"},
      {"more fields than columns", "empresa,inscricao,de\n01,110042490114,01/2026,x\n", "",
       "mag-export: --lote: linha 2: 4 campos, e o cabeçalho tem 3"},
      {"no plan file", "", "--lote /nonexistent/plano.csv",
       "mag-export: --lote: não foi possível ler o plano"},
      {"both", "", "--lote x.csv --todas 01/2026", "mag-export: --lote e --todas: informe um dos dois"},
      {"no month", "", "--todas 13/2026", "mag-export: --todas: '13/2026' não é um mês válido (MM/AAAA)"},
      {"a single file's option", "", "--todas 01/2026 --empresa 01",
       "mag-export: --empresa: num lote, cada arquivo tem o seu no plano"},
  };
  const auto before = Files();
  for (const auto& c : cases) {
    std::string options = c.options;
    if (!c.plan.empty()) {
      std::ofstream(plan) << c.plan;
      options = "--lote " + plan.string();
    }
    const CommandRun run = Export(options);
    EXPECT_EQ(run.status, 2) << c.name << "\n" << run.output;
    EXPECT_NE(run.output.find(c.said), std::string::npos) << c.name << "\n" << run.output;
  }
  EXPECT_EQ(Files(), before);
}

}  // namespace
