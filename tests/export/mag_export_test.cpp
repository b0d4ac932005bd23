#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "lib/layout/layout_check.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

struct ExportRun {
  int status = -1;
  std::string output;
};

// mag-export against a real server and database, through the screen.
struct MagExport : ::testing::Test {
  static inline std::string database, out;
  static inline std::unique_ptr<ServerProcess> server;
  static void SetUpTestSuite() {
    database = TestDatabase("export");
    out = std::filesystem::temp_directory_path() / ("mag_export_out_" + std::to_string(getpid()));
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    PrepareDatabase(database, {"--init-demo"});
    server = std::make_unique<ServerProcess>(database, std::vector<std::string>{"--output-dir", out});
  }
  static void TearDownTestSuite() {
    server.reset();
    DropTestDatabase(database);
    std::filesystem::remove_all(out);
  }

  static ExportRun Export(const std::string& options) {
    const std::string command = std::string(MAG_EXPORT_PATH) +
                                " --settings /dev/null --server 127.0.0.1:" + std::to_string(server->port()) +
                                " --database " + database + " " + options;
    ExportRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }
  static std::string Valid(const std::string& name) {
    return "--empresa 01 --imposto 01 --inscricao 110042490114 --de 01/2026 --ate 01/2026 --versao 3 "
           "--finalidade 1 --nome " +
           name;
  }
  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(MagExport, AValidScreenWritesTheServersLinesByteForByte) {
  const std::string file = out + "/janeiro.txt";
  std::ofstream(file) << "an earlier file of the same name";
  const ExportRun run = Export(Valid("janeiro.txt"));
  EXPECT_EQ(run.status, 0) << run.output;
  // Only the success message: a correct screen shows no error on the way.
  EXPECT_EQ(run.output, "informação: Exportação foi concluída com sucesso.  \n");

  ServerClient client(server->port());
  std::string expected;
  for (const auto& line : client.Fetch({}).lines) expected += line + "\r\n";
  EXPECT_EQ(Read(file), expected);
  const auto report = layout::CheckFile(file);
  EXPECT_TRUE(report.ok()) << layout::Describe(report);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(out)) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary file left beside it
}

// The demo's retailer month (printers, consumer notes and their products) and
// its month without movement, as a user would export them; the national file
// of every group needs two 90 lines.
TEST_F(MagExport, TheRetailerMonthAndTheMonthWithoutMovementPassTheChecker) {
  const struct {
    const char* options;
    const char* name;
    std::vector<std::string> types;  // the register types of the file, in order
    std::size_t nineties = 1;
  } cases[] = {
      {"--empresa 05 --imposto 01 --inscricao 123456794005 --inventario 12/2025 --registro-88st",
       "nacional.txt",
       {"10", "11", "50", "51", "53", "54", "55", "60", "61", "70", "74", "75", "88", "90"},
       2},
      {"--tipo \"SINTEGRA - MS\" --empresa 05 --imposto 01 --inscricao 123456794005 --registros 50,54,60,61",
       "varejo.txt",
       {"10", "11", "50", "54", "60", "61", "75", "90"}},
      {"--tipo \"SINTEGRA - MS\" --empresa 06 --inscricao 283000007 --registros 88SM",
       "parado.txt",
       {"10", "11", "88", "90"}},
  };
  for (const auto& c : cases) {
    const ExportRun run = Export(std::string(c.options) +
                                 " --de 01/2026 --ate 01/2026 --versao 3 --finalidade 1 "
                                 "--nome " +
                                 c.name);
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.output;
    const std::string file = out + "/" + c.name;
    const auto report = layout::CheckFile(file);
    EXPECT_TRUE(report.ok()) << c.name << "\n" << layout::Describe(report);
    std::vector<std::string> types;
    std::size_t nineties = 0;
    std::istringstream lines(Read(file));
    for (std::string line; std::getline(lines, line);) {
      if (types.empty() || types.back() != line.substr(0, 2)) types.push_back(line.substr(0, 2));
      nineties += line.rfind("90", 0) == 0;
    }
    EXPECT_EQ(types, c.types) << c.name;
    EXPECT_EQ(nineties, c.nineties) << c.name;
    std::filesystem::remove(file);
  }
}

TEST_F(MagExport, TheChainOfChecksStopsAtItsFirstMessage) {
  const std::string rest = " --de 01/2026 --ate 01/2026 --versao 3 --finalidade 1 --nome x.txt";
  struct Case {
    const char* name;
    std::string options;
    const char* last;
  } cases[] = {
      {"no company", rest, "erro: Empresa deve ser informada.  "},
      {"no tax for regime 3", "--empresa 01" + rest, "erro: Imposto deve ser informado. "},
      {"no registration", "--empresa 02" + rest, "erro: Inscrição deve ser informada."},
      {"no version",
       "--empresa 02 --inscricao 0623079040081 --de 01/2026 --ate 01/2026 --finalidade 1 --nome x",
       "erro: A identificação do convênio deve ser informada."},
      {"no purpose", "--empresa 02 --inscricao 0623079040081 --de 01/2026 --ate 01/2026 --versao 1 --nome x",
       "erro: Finalidade do arquivo deve ser informada."},
      {"no file name",
       "--empresa 02 --inscricao 0623079040081 --de 01/2026 --ate 01/2026 --versao 1 --finalidade 2",
       "erro: Nome do arquivo deve ser informado."},
      {"no register for a state variant", "--tipo 'DIEF - MA' --empresa 02 --inscricao 0623079040081" + rest,
       "informação: Registro(s) deve ser informado(s)."},
      {"months reversed",
       "--empresa 02 --inscricao 0623079040081 --de 02/2026 --ate 01/2026 --versao 1 "
       "--finalidade 1 --nome x",
       "erro: Data inicial deve ser menor ou igual a data final."},
      {"inventory after the period", "--empresa 02 --inscricao 0623079040081 --inventario 02/2026" + rest,
       "erro: Data do inventário deve ser menor ou igual ao período de referência."},
      {"open fiscal map",
       "--empresa 01 --imposto 01 --inscricao 110042490114 --de 03/2026 --ate 03/2026 "
       "--versao 3 --finalidade 1 --nome x",
       "erro: Para geração da declaração acessória o mapa deve estar bloqueado."},
  };
  for (const Case& c : cases) {
    const ExportRun run = Export(c.options);
    EXPECT_EQ(run.status, 1) << c.name << "\n" << run.output;
    std::string last = run.output.substr(0, run.output.size() - 1);
    last = last.substr(last.rfind('\n') + 1);
    EXPECT_EQ(last, c.last) << c.name;
  }
  EXPECT_FALSE(std::filesystem::exists(out + "/x.txt"));
  EXPECT_FALSE(std::filesystem::exists(out + "/x"));
}

// An option the screen would drop or alter is refused before anything is
// typed: no file, exit status 2, and a message that says why.
TEST_F(MagExport, OptionsTheScreenWouldDropOrAlterAreRefused) {
  const std::string company =
      "--empresa 01 --imposto 01 --inscricao 110042490114 --de 01/2026 --ate 01/2026 "
      "--versao 3 --finalidade 1 ";
  const struct {
    std::string options;
    const char* message;
  } cases[] = {
      {company + "--estados SP --nome z.txt",
       "mag-export: --estados: a lista de estados não se aplica ao tipo SINTEGRA"},
      {company + "--pais 1058 --nome z.txt", "mag-export: --pais: o país não se aplica ao tipo SINTEGRA"},
      {company + "--registros 50 --nome z.txt",
       "mag-export: --registros: a lista de registros não se aplica ao tipo SINTEGRA"},
      {"--tipo 'DIEF - MA' " + company + "--registros 50 --registro-88st --nome z.txt",
       "mag-export: --registro-88st: a opção do registro 88 não se aplica ao tipo DIEF - MA"},
      {"--tipo 'DIEF - MA' " + company + "--registros 50 --inventario 01/2026 --nome z.txt",
       "mag-export: --inventario: o inventário não se aplica ao tipo DIEF - MA"},
      {company + "--nome ../z.txt", "mag-export: --nome: a tela recusa no nome os caracteres /"},
      {company + "--nome 'a*b?c*.txt'", "mag-export: --nome: a tela recusa no nome os caracteres * ?"},
      {"--empresa 01 --imposto 01 --inscricao 110042490114 --ate 01/2026 --nome z.txt",
       "mag-export: --de: o primeiro mês do período deve ser informado"},
      {"--empresa 01 --imposto 01 --inscricao 110042490114 --de 01/2026 --nome z.txt",
       "mag-export: --ate: o último mês do período deve ser informado"},
      {company + "--nome " + std::string(51, 'z'),
       "mag-export: --nome: o nome tem 51 caracteres; a tela aceita até 50"},
      {company + "--nome \"$(printf 'a\\tb.txt')\"",
       "mag-export: --nome: a tela descarta do nome os caracteres de controle TAB"},
      {company + "--nome \"$(printf 'z\\177.txt')\"",
       "mag-export: --nome: a tela descarta do nome os caracteres de controle 0x7F"},
      // Values judged without the server, before the lookups and dialogs, and
      // even when an earlier field would fail.
      {"--empresa 77 --de 01/2026 --ate 01/2026 --versao 7 --nome z.txt",
       "mag-export: --versao: '7' não está na lista da tela (1, 2, 3)"},
      {"--empresa 01 --de 01/2026 --ate 01/2026 --nome z.txt --finalidade 4",
       "mag-export: --finalidade: '4' não está na lista da tela (1, 2, 3, 5)"},
      {"--tipo 'DIEF - MA' --empresa 77 --de 01/2026 --ate 01/2026 --registros 50,99 --nome z.txt",
       "mag-export: --registros: '99' não é um item da lista de registros (50, 51, 53, 54, 55, 60, 61, 70, "
       "74, "
       "75, 88ST, 88SM ou todos)"},
      {"--empresa 77 --de 13/2026 --ate 01/2026 --nome z.txt",
       "mag-export: --de: '13/2026' não é um mês válido (MM/AAAA)"},
      {"--empresa 01 --de 01/2026 --ate 1/2026 --nome z.txt",
       "mag-export: --ate: '1/2026' não é um mês válido (MM/AAAA)"},
      {"--tipo SINTEGRA-XX --empresa 01 --de 01/2026 --ate 01/2026 --nome z.txt",
       "mag-export: --tipo: 'SINTEGRA-XX' não é um tipo de arquivo da tela (SINTEGRA, DIEF - MA, DIEF - PI, "
       "SINTEGRA - MS, SINTEGRA - RJ, SINTEGRA - RS)"},
      {"--empresa 77 --de 01/2026 --ate 01/2026 --registros 50 --nome z.txt",
       "mag-export: --registros: a lista de registros não se aplica ao tipo SINTEGRA"},
      // A disabled field is said with what disabled it.
      {"--empresa 02 --imposto 01 --de 01/2026 --ate 01/2026 --nome z.txt",
       "mag-export: --imposto: a empresa 02 não é do regime que informa o imposto; a tela desabilita o "
       "campo"},
      {"--empresa 02 --inscricao 0623079040081 --inscricao-st 1 --de 01/2026 --ate 01/2026 --nome z.txt",
       "mag-export: --inscricao-st: o regime da empresa 02 não tem inscrição do substituto; a tela "
       "desabilita o "
       "campo"},
      {"--empresa 01 --inscricao-st 1 --de 01/2026 --ate 01/2026 --nome z.txt",
       "mag-export: --inscricao-st: o campo só se abre depois do imposto (--imposto)"},
      {"--inscricao 110042490114 --de 01/2026 --ate 01/2026 --nome z.txt",
       "mag-export: --inscricao: o campo só se abre depois da empresa (--empresa)"},
      {company + "--nome z.txt --sem-opcao",
       "mag-export: argumentos não esperados: --sem-opcao\nVeja mag-export --help."},
  };
  for (const auto& c : cases) {
    const ExportRun run = Export(c.options + " 2>&1");
    EXPECT_EQ(run.status, 2) << c.options << "\n" << run.output;
    const std::string last = std::string(c.message) + "\n";
    EXPECT_TRUE(run.output.size() >= last.size() &&
                run.output.compare(run.output.size() - last.size(), last.size(), last) == 0)
        << c.options << "\n"
        << run.output;
  }
  EXPECT_FALSE(std::filesystem::exists(out + "/z.txt"));
  EXPECT_FALSE(std::filesystem::exists(out + "/..z.txt"));
}

TEST_F(MagExport, AFieldWhoseCheckKeepsTheFocusEndsTheRunWithItsMessageOnce) {
  const ExportRun run = Export(
      "--empresa 77 --imposto 01 --inscricao 110042490114 --de 01/2026 --ate 01/2026 "
      "--versao 3 --finalidade 1 --nome w.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "erro: Empresa não cadastrada.  \n");
  EXPECT_FALSE(std::filesystem::exists(out + "/w.txt"));
}

// The package is found and loaded when the program runs, as the desktop
// host loads it; without it nothing is typed.
TEST_F(MagExport, ThePackageIsLoadedAtRunTime) {
  const ExportRun run = Export("--package /nonexistent/Pkg_mag04200.so " + Valid("p.txt") + " 2>&1");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(
      run.output.rfind("mag-export: não foi possível carregar o pacote /nonexistent/Pkg_mag04200.so", 0), 0u)
      << run.output;
}

TEST_F(MagExport, AServerThatCannotBeReachedEndsWithStatusTwo) {
  const std::string command = std::string(MAG_EXPORT_PATH) + " --settings /dev/null --server 127.0.0.1:1 " +
                              "--database " + database + " " + Valid("y.txt") + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_FALSE(std::filesystem::exists(out + "/y.txt"));
}

}  // namespace
