// The values, the order and the refusals of the register lines, from fiscal
// data a company can hold: each case writes its documents into a month of
// its own and reads the file that GetRegistro's check and builder make of
// it, in process; the log of a refused file is read from a real server.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "lib/sql/session.h"
#include "tests/support/in_process_file.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

struct NoteRow {
  std::string cnpj = "11222333000181", uf = "SP", model = "55", series = "1", number = "1", situation = "N";
  std::string day = "05";
  std::int64_t freight = 0, insurance = 0, other = 0;
  std::string direction = "S";
  std::string ie = "ISENTO";
};
struct ItemRow {
  std::string item = "1", product = "VAL001", cfop = "5102";
  std::int64_t amount = 10000, icms_base = 10000, icms = 1800, ipi = 0, st_base = 0, st_icms = 0;
  std::string cst = "000";
};

struct RegisterValues : ::testing::Test {
  static inline std::string database;
  static inline int months = 0;
  static inline int sequence = 900000;
  static void SetUpTestSuite() {
    database = TestDatabase("values");
    PrepareDatabase(database, {"--init-demo"});
    auto s = sql::OpenSession(database);
    s->Execute(
        "INSERT INTO PRODUTO (CDPRODUTO, CDNCM, NMPRODUTO, SGUNIDADE) VALUES"
        " ('VAL001', '22030000', 'Cerveja ’especial’ — lata “350ml” €', 'UN')");
  }
  static void TearDownTestSuite() { DropTestDatabase(database); }

  std::unique_ptr<sql::Session> db = sql::OpenSession(database);
  int year = 2027, month = 0;

  // A month of its own for the case, with its fiscal map locked.
  void SetUp() override {
    ++months;
    year = 2027 + (months - 1) / 12;
    month = (months - 1) % 12 + 1;
    char period[8];
    std::snprintf(period, sizeof period, "%04d%02d", year, month);
    db->Execute(
        "INSERT INTO MAPAFISCAL (CDEMPRESA, CDINSCESTA, NRANOMES, IDBLOQUEADO) VALUES ('01', "
        "'110042490114', :P, 'S')",
        {{"P", period}});
  }

  std::string Date(const std::string& day) const {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%s", year, month, day.c_str());
    return text;
  }

  std::int64_t AddNote(const NoteRow& n, const std::vector<ItemRow>& items) {
    const std::int64_t seq = ++sequence;
    db->Execute(
        "INSERT INTO NOTAFISCAL (NRSEQNOTA, CDEMPRESA, CDINSCESTA, IDENTSAI, NRCNPJPART, CDINSCPART,"
        " SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, NRNOTA, IDEMITENTE, IDSITUACAO, VRFRETE, VRSEGURO,"
        " VRDESPESAS) VALUES (:SEQ, '01', '110042490114', :ES, :CNPJ, :IE, :UF, :DT, :MOD, :SER, :NR, "
        "'P',"
        " :SIT, :FRE, :SEG, :DESP)",
        {{"SEQ", std::to_string(seq)},
         {"ES", n.direction},
         {"CNPJ", n.cnpj},
         {"IE", n.ie},
         {"UF", n.uf},
         {"DT", Date(n.day)},
         {"MOD", n.model},
         {"SER", n.series},
         {"NR", n.number},
         {"SIT", n.situation},
         {"FRE", std::to_string(n.freight)},
         {"SEG", std::to_string(n.insurance)},
         {"DESP", std::to_string(n.other)}});
    for (const ItemRow& i : items) {
      db->Execute(
          "INSERT INTO NOTAFISCALITEM (NRSEQNOTA, NRITEM, CDPRODUTO, CDCFOP, CDCST, QTITEM, VRPRODUTO,"
          " VRBASEICMS, VRALIQICMS, VRICMS, VRIPI, VRBASEST, VRICMSST) VALUES (:SEQ, :IT, :PROD, :CFOP, :CST,"
          " 1000, :VAL, :BASE, 1800, :ICMS, :IPI, :BST, :ST)",
          {{"SEQ", std::to_string(seq)},
           {"IT", i.item},
           {"PROD", i.product},
           {"CFOP", i.cfop},
           {"CST", i.cst},
           {"VAL", std::to_string(i.amount)},
           {"BASE", std::to_string(i.icms_base)},
           {"ICMS", std::to_string(i.icms)},
           {"IPI", std::to_string(i.ipi)},
           {"BST", std::to_string(i.st_base)},
           {"ST", std::to_string(i.st_icms)}});
    }
    return seq;
  }

  FetchedFile Fetch(const std::string& version = "3") {
    RegistroArgs a;
    a.first_day = wire::EncodeDate(year, month, 1);
    a.last_day = wire::EncodeDate(year, month, wire::DaysInMonth(year, month));
    a.version = version;
    return BuildInProcess(*db, a);
  }

  static std::vector<std::string> Of(const FetchedFile& file, const std::string& type) {
    std::vector<std::string> lines;
    for (const auto& l : file.lines) {
      if (l.compare(0, type.size(), type) == 0) lines.push_back(l);
    }
    return lines;
  }
  static std::int64_t Field(const std::string& line, std::size_t start, std::size_t width) {
    return std::stoll(line.substr(start - 1, width));
  }
};

TEST_F(RegisterValues, WholeNumbersAbove2To31AreWrittenExactly) {
  const std::int64_t above_32_bits = 4294979641;  // 2^32 + 12345
  const std::int64_t freight = 4294967796;        // 2^32 + 500
  const std::int64_t between = 3000000000;        // between 2^31 and 2^32
  AddNote({.freight = freight}, {{.amount = above_32_bits, .icms_base = between, .icms = between}});
  const auto file = Fetch();
  ASSERT_EQ(file.status, "OK");
  const auto r50 = Of(file, "50");
  ASSERT_EQ(r50.size(), 1u);
  EXPECT_EQ(Field(r50[0], 57, 13), above_32_bits + freight);
  EXPECT_EQ(Field(r50[0], 70, 13), between);
  EXPECT_EQ(Field(r50[0], 83, 13), between);
  const auto r54 = Of(file, "54");
  ASSERT_EQ(r54.size(), 2u);
  EXPECT_EQ(Field(r54[0], 63, 12), above_32_bits);
  EXPECT_EQ(r54[1].substr(34, 3), "991");
  EXPECT_EQ(Field(r54[1], 75, 12), freight);
}

TEST_F(RegisterValues, AValueThatDoesNotFitItsFieldRefusesTheFileNamingTheDocumentAndTheField) {
  AddNote({.number = "4711"}, {{.amount = 1000000000000}});  // 13 digits in a 12-position field
  const auto file = Fetch();
  EXPECT_NE(file.status.find("Documento modelo 55 série 1 número 4711"), std::string::npos) << file.status;
  EXPECT_NE(file.status.find("Valor do produto"), std::string::npos) << file.status;
  EXPECT_EQ(file.status.find("database"), std::string::npos);
  EXPECT_TRUE(file.lines.empty());
}

TEST_F(RegisterValues, TheDocumentTotalIsOneFigureIn50And51) {
  AddNote({.freight = 1500, .insurance = 300, .other = 200},
          {{.item = "1", .cfop = "5101", .ipi = 1000}, {.item = "2", .cfop = "5102", .ipi = 500}});
  const auto file = Fetch();
  ASSERT_EQ(file.status, "OK");
  std::int64_t total50 = 0, total51 = 0;
  for (const auto& l : Of(file, "50")) total50 += Field(l, 57, 13);
  for (const auto& l : Of(file, "51")) total51 += Field(l, 54, 13);
  EXPECT_EQ(total50, 10000 + 1000 + 10000 + 500 + 2000);
  EXPECT_EQ(total51, total50);
}

TEST_F(RegisterValues, Register54IsInTheOrderOfTheWrittenPartyKeys) {
  // A person's CPF is written zero-filled to 14 digits: it comes before the
  // company's CNPJ, whatever the stored text says.
  AddNote({.cnpj = "11222333000181", .number = "10"}, {{}});
  AddNote({.cnpj = "12345678909", .number = "20"}, {{}});
  AddNote({.cnpj = "11222333000181", .number = "1000009"}, {{}});  // written as 000009
  const auto file = Fetch();
  ASSERT_EQ(file.status, "OK");
  const auto r54 = Of(file, "54");
  ASSERT_EQ(r54.size(), 3u);
  EXPECT_EQ(r54[0].substr(2, 14), "00012345678909");
  EXPECT_EQ(r54[1].substr(21, 6), "000009");
  EXPECT_EQ(r54[2].substr(21, 6), "000010");
}

TEST_F(RegisterValues, DocumentsWithoutItems) {
  struct Case {
    const char* situation;
    bool refused;
  } cases[] = {{"S", false}, {"X", false}, {"4", false}, {"2", false}, {"N", true}};
  for (const Case& c : cases) {
    SetUp();  // a fresh month for each situation
    AddNote({.number = "77", .situation = c.situation}, {});
    const auto file = Fetch();
    if (c.refused) {
      EXPECT_NE(file.status.find("número 77"), std::string::npos) << file.status;
      EXPECT_NE(file.status.find("não tem itens"), std::string::npos) << file.status;
      continue;
    }
    ASSERT_EQ(file.status, "OK") << c.situation;
    const auto r50 = Of(file, "50");
    ASSERT_EQ(r50.size(), 1u) << c.situation;
    EXPECT_EQ(r50[0].substr(45, 6), "000077");
    EXPECT_EQ(r50[0].back(), c.situation[0]);
    EXPECT_EQ(r50[0].substr(56, 65), std::string(65, '0'));
  }
}

TEST_F(RegisterValues, Registers51And53OnlyForDocumentsThat50Takes) {
  AddNote({.model = "65", .number = "5"}, {{.ipi = 100, .st_base = 5000, .st_icms = 900}});
  AddNote({.model = "06", .number = "6"}, {{.ipi = 100, .st_base = 5000, .st_icms = 900}});
  AddNote({.model = "55", .number = "7"}, {{.ipi = 100, .st_base = 5000, .st_icms = 900}});
  const auto file = Fetch();
  ASSERT_EQ(file.status, "OK");
  const auto numbers = [&](const std::string& type, std::size_t at) {
    std::vector<std::string> found;
    for (const auto& l : Of(file, type)) found.push_back(l.substr(at - 1, 6));
    return found;
  };
  EXPECT_EQ(numbers("50", 46), (std::vector<std::string>{"000006", "000007"}));
  EXPECT_EQ(numbers("51", 44), std::vector<std::string>{"000007"});
  EXPECT_EQ(numbers("53", 46), std::vector<std::string>{"000007"});
  EXPECT_EQ(numbers("54", 22), std::vector<std::string>{"000007"});
}

TEST_F(RegisterValues, ItemNumbersOutside001To990RefuseTheDocument) {
  for (const char* item : {"991", "0", "1000"}) {
    SetUp();
    AddNote({.number = "88"}, {{.item = item}});
    const auto file = Fetch();
    EXPECT_NE(file.status.find("número 88"), std::string::npos) << item << ": " << file.status;
    EXPECT_NE(file.status.find("001 a 990"), std::string::npos) << item << ": " << file.status;
  }
}

TEST_F(RegisterValues, AGoodsLineWithoutAThreeDigitCstRefusesTheDocument) {
  AddNote({.number = "89"}, {{.cst = "00"}});
  EXPECT_EQ(
      Fetch().status,
      "Documento modelo 55 série 1 número 89 de " + Date("05") +
          " (CNPJ/CPF 11222333000181), item 1: o CST '00' não tem 3 dígitos (a origem da mercadoria e a "
          "tributação do ICMS).");
}

TEST_F(RegisterValues, OnlyTheCurrentStructureIsBuilt) {
  AddNote({}, {{}});
  EXPECT_EQ(Fetch("1").status, "A estrutura do convênio 1 não vale para períodos a partir de 2004; use 3.");
  EXPECT_EQ(Fetch("2").status, "A estrutura do convênio 2 não vale para períodos a partir de 2004; use 3.");
  EXPECT_EQ(Fetch("3").status, "OK");
}

TEST_F(RegisterValues, TypographicPunctuationBecomesItsAsciiLookAlike) {
  AddNote({}, {{}});
  const auto r75 = Of(Fetch(), "75");
  ASSERT_EQ(r75.size(), 1u);
  EXPECT_EQ(r75[0].substr(40, 53), "Cerveja 'especial' - lata \"350ml\"                    ");
}

TEST_F(RegisterValues, PartiesAndCfopsTheValidatorsWouldRefuseRefuseTheFile) {
  struct Case {
    const char* name;
    NoteRow note;
    std::string cfop;
    const char* problem;  // empty: the file is built
  } cases[] = {
      {"CNPJ of 9 digits", {.cnpj = "112223330"}, "5102", "não é válido"},
      {"CNPJ with a wrong check digit", {.cnpj = "11222333000182"}, "5102", "não é válido"},
      {"CPF with a wrong check digit", {.cnpj = "12345678900"}, "5102", "não é válido"},
      {"CPF zero-filled to 14", {.cnpj = "00012345678909"}, "5102", ""},
      {"foreign party with a CNPJ", {.cnpj = "11222333000181", .uf = "EX"}, "7101", "exterior"},
      {"foreign party", {.cnpj = "00000000000000", .uf = "EX"}, "7101", ""},
      {"interstate CFOP inside the state", {}, "6102", "deve começar por 5"},
      {"internal CFOP to another state", {.uf = "RJ"}, "5102", "deve começar por 6"},
      {"exit CFOP on an entry", {.direction = "E"}, "5102", "deve começar por 1"},
      {"entry from abroad", {.cnpj = "", .uf = "EX", .direction = "E"}, "3102", ""},
      {"three-digit CFOP", {}, "512", "4 dígitos"},
      {"party IE with wrong check digits", {.ie = "110042490115"}, "5102", "não é válida em SP"},
      {"party IE with its punctuation", {.ie = "110.042490.114"}, "5102", ""},
      {"party IE of another state", {.uf = "MG", .ie = "110042490114"}, "6102", "não é válida em MG"},
      {"party IE of letters", {.ie = "ABC"}, "5102", "não é ISENTO nem só dígitos"},
      {"foreign party with an IE", {.cnpj = "", .uf = "EX", .ie = "110042490114"}, "7101", "ISENTO, não"},
      {"situation of no code", {.situation = "Z"}, "5102", "a situação 'Z' não é N, S, E, X, 2 ou 4"},
  };
  for (const Case& c : cases) {
    SetUp();
    NoteRow note = c.note;
    note.number = "321";
    AddNote(note, {{.cfop = c.cfop}});
    const auto file = Fetch();
    if (!*c.problem) {
      EXPECT_EQ(file.status, "OK") << c.name;
      continue;
    }
    EXPECT_NE(file.status.find("número 321"), std::string::npos) << c.name << ": " << file.status;
    EXPECT_NE(file.status.find(c.problem), std::string::npos) << c.name << ": " << file.status;
    EXPECT_TRUE(file.lines.empty()) << c.name;
  }
}

TEST_F(RegisterValues, TheLogOfARefusedFileListsEveryDocumentAtFault) {
  const std::string log = TestLog("values");
  ServerProcess logged(database, {}, DefaultServerBinary(), log);
  AddNote({.cnpj = "11222333000182", .number = "501"}, {{}});
  AddNote({.number = "502"}, {{.cfop = "6102"}});
  AddNote({.number = "503"}, {{}});
  RegistroArgs a;
  a.first_day = wire::EncodeDate(year, month, 1);
  a.last_day = wire::EncodeDate(year, month, wire::DaysInMonth(year, month));
  ServerClient client(logged.port());
  const auto file = client.Fetch(a);
  EXPECT_NE(file.status.find("número 501"), std::string::npos) << file.status;
  logged.Stop();
  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("número 501"), std::string::npos) << text;
  EXPECT_NE(text.find("número 502"), std::string::npos) << text;
  EXPECT_EQ(text.find("número 503"), std::string::npos) << text;
  std::filesystem::remove(log);
}

TEST_F(RegisterValues, TheLogOfABuiltFileNamesTheWarningsThatDoNotRefuseIt) {
  const int first_year = year, first_month = month;
  SetUp();  // the month after, locked too
  AddNote({}, {{}});
  const std::string log = TestLog("warnings");
  ServerProcess logged(database, {}, DefaultServerBinary(), log);
  RegistroArgs a;
  a.first_day = wire::EncodeDate(first_year, first_month, 1);
  a.last_day = wire::EncodeDate(year, month, wire::DaysInMonth(year, month));
  ServerClient client(logged.port());
  EXPECT_EQ(client.Fetch(a).status, "OK");
  logged.Stop();
  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("registration 110042490114: warning period-months"), std::string::npos) << text;
  std::filesystem::remove(log);
}

TEST_F(RegisterValues, AnInformantWithoutAValidStateRegistrationGetsNoFile) {
  AddNote({}, {{}});
  db->Execute("UPDATE INSCRESTAD SET SGESTADO = 'MG' WHERE CDINSCESTA = '110042490114'");
  const auto file = Fetch();
  EXPECT_EQ(file.status,
            "A inscrição estadual do estabelecimento, '110042490114', não é válida em MG (tamanho ou dígitos "
            "verificadores): corrija o cadastro antes de gerar o arquivo.");
  EXPECT_TRUE(file.lines.empty());
  db->Execute("UPDATE INSCRESTAD SET SGESTADO = 'SP' WHERE CDINSCESTA = '110042490114'");
  EXPECT_EQ(Fetch().status, "OK");
}

TEST_F(RegisterValues, AnInformantWithoutAValidCnpjGetsNoFile) {
  AddNote({}, {{}});
  const auto cnpj = db->Query("SELECT NRINSJURIEST FROM INSCRESTAD WHERE CDINSCESTA = '110042490114'", {});
  const std::string kept = *cnpj.rows.at(0).at(0);
  for (const char* bad : {"112223330", "11222333000182"}) {
    db->Execute("UPDATE INSCRESTAD SET NRINSJURIEST = :J WHERE CDINSCESTA = '110042490114'", {{"J", bad}});
    const auto file = Fetch();
    EXPECT_NE(file.status.find("O CNPJ ou CPF do estabelecimento, '" + std::string(bad) + "', não é válido"),
              std::string::npos)
        << bad << ": " << file.status;
    EXPECT_TRUE(file.lines.empty());
  }
  db->Execute("UPDATE INSCRESTAD SET NRINSJURIEST = :J WHERE CDINSCESTA = '110042490114'", {{"J", kept}});
  EXPECT_EQ(Fetch().status, "OK");
}

}  // namespace
