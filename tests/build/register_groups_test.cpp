// The register groups beyond the notes, built in process over a real
// database: a small February of the demo's company without movement, every
// line worked out by hand from the rows below, and the file read by the
// layout checker.
#include <gtest/gtest.h>

#include <sstream>

#include "lib/layout/layout_check.h"
#include "lib/sql/session.h"
#include "server/build/file_builder.h"
#include "server/db/schema.h"
#include "server/demo/demo_data.h"
#include "server/demo/demo_retail.h"
#include "server/store/fiscal_tables.h"
#include "tests/support/in_process_file.h"

namespace {

std::string Blanks(std::size_t n) { return std::string(n, ' '); }
std::string Pad(const std::string& text, std::size_t width) { return text + Blanks(width - text.size()); }

// The substitute's registration in Rio de Janeiro.
std::string RjRegistration() { return server::StateRegistrationFrom("RJ", 77100000); }

layout::Report Check(const std::vector<std::string>& lines) {
  std::string file;
  for (const auto& l : lines) file += l + "\r\n";
  std::istringstream in(file);
  return layout::CheckStream(in);
}

class RegisterGroups : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    database_ = new std::string(BuilderTestDatabase("groups"));
    session_ = sql::OpenSession(*database_).release();
    sql::Session* s = session_;
    server::Migrate(*s);
    server::LoadDemoData(*s);
    const std::string ie = server::QuietRegistration();
    const auto run = [&](const std::string& text) { s->Execute(text); };
    run("INSERT INTO MAPAFISCAL VALUES ('06', '" + ie + "', '202602', 'S')");
    run("INSERT INTO GNRE VALUES (90, '06', '" + ie + "', '" + RjRegistration() +
        "', 'RJ', '2026-02-10', '237', '0415', "
        "'GNRE-1', 150075, '2026-02-09', '202601', 'Protocolo 41/08')");
    run("INSERT INTO ECF VALUES ('06', '" + ie + "', 'ECF0001', 7, '2D')");
    run("INSERT INTO ECFREDUCAOZ VALUES (90, '06', '" + ie +
        "', 'ECF0001', '2026-02-10', 101, 102, 31, 2, 1500, 991500, 'N')");
    run("INSERT INTO ECFTOTALIZADOR VALUES (90, '1700', 1000), (90, 'F', 500)");
    run("INSERT INTO ECFITEM VALUES (90, 101, 1, 'CAFE500G', 2000, 1000, 1000, '1700', 170),"
        " (90, 102, 1, 'CERVEJA350', 1500, 500, 0, 'F', 0)");
    run("INSERT INTO NOTACONSUMIDOR VALUES (90, '06', '" + ie +
        "', '2026-02-11', '02', 'B', '', 77, 1200, 2000, 2000, 240, 0, 0, NULL, 'N', 'N')");
    run("INSERT INTO NOTACONSUMIDORITEM VALUES (90, 1, 'OLEO900ML', 4000, 2000, 2000)");
    run("INSERT INTO CONHECIMENTO VALUES (90, '06', '" + ie + "', NULL, 'E', '" +
        server::CnpjFrom("556667770001") + "', '" + server::QuietRegistration() +
        "', 'MS', '2026-02-12', '57', '1', '', '1234567', '1353', 30000,"
        " 30000, 3600, 0, 0, '1', 'N', NULL)");
    run("INSERT INTO INVENTARIO VALUES ('06', '" + ie +
        "', '2026-02-28', 'ARROZ5KG', '1', '', '', 'MS', 5000,"
        " 9000), ('06', '" +
        ie + "', '2026-02-28', 'ARROZ5KG', '3', '" + server::CnpjFrom("556667770001") +
        "', '115566770891', 'SP', 1000, 1800)");
    run("INSERT INTO ESTOQUEST VALUES ('06', '" + ie + "', '2026-01-31', 'CERVEJA350', 24000, 1532, 2211)");
  }
  static void TearDownTestSuite() {
    delete session_;
    if (*database_ != "sqlite::memory:") DropTestDatabase(*database_);
    delete database_;
  }
  static RegistroArgs February() {
    RegistroArgs a;
    a.company = "06";
    a.registration = server::QuietRegistration();
    a.tax = "";
    a.first_day = wire::EncodeDate(2026, 2, 1);
    a.last_day = wire::EncodeDate(2026, 2, 28);
    return a;
  }
  static std::string* database_;
  static FetchedFile Fetch(const RegistroArgs& a) { return BuildInProcess(*session_, a); }
  static sql::Session* session_;
};
std::string* RegisterGroups::database_ = nullptr;
sql::Session* RegisterGroups::session_ = nullptr;

TEST_F(RegisterGroups, EveryGroupGivesTheLinesWorkedOutByHandAndPassesTheChecker) {
  RegistroArgs a = February();
  a.mask = "NNNNNNNNSNNN";  // the inventory option
  a.inventory = wire::EncodeDate(2026, 2, 28);
  const auto file = Fetch(a);
  ASSERT_EQ(file.status, "OK");
  const std::string cnpj = server::CnpjFrom("234567890001"), party = server::CnpjFrom("556667770001");
  const std::string ie = server::QuietRegistration();
  const std::string serial = Pad("ECF0001", 20);
  const std::vector<std::string> expected = {
      // 55: CNPJ, substitute's IE in RJ, payment, UFs, bank, agency, number,
      // amount, due date, reference MMAAAA, agreement.
      "55" + cnpj + Pad(RjRegistration(), 14) + "20260210" + "MS" + "RJ" + "237" + "0415" +
          Pad("GNRE-1", 20) + "0000000150075" + "20260209" + "012026" + Pad("Protocolo 41/08", 30),
      // 60M: date, serial, order, model, COO 101-102, CRZ 31, CRO 2, gross, GT.
      "60M20260210" + serial + "007" + "2D" + "000101" + "000102" + "000031" + "002" + "0000000000001500" +
          "0000000000991500" + Blanks(37),
      // 60A by totaliser code.
      "60A20260210" + serial + "1700" + "000000001000" + Blanks(79),
      "60A20260210" + serial + "F   " + "000000000500" + Blanks(79),
      // 60D by product: quantity (3 decimals), value, base, totaliser, ICMS.
      "60D20260210" + serial + Pad("CAFE500G", 14) + "0000000002000" + "0000000000001000" +
          "0000000000001000" + "1700" + "0000000000170" + Blanks(19),
      "60D20260210" + serial + Pad("CERVEJA350", 14) + "0000000001500" + "0000000000000500" +
          "0000000000000000" + "F   " + "0000000000000" + Blanks(19),
      // 60I by coupon and item.
      "60I20260210" + serial + "2D" + "000101" + "001" + Pad("CAFE500G", 14) + "0000000002000" +
          "0000000001000" + "000000001000" + "1700" + "000000000170" + Blanks(16),
      "60I20260210" + serial + "2D" + "000102" + "001" + Pad("CERVEJA350", 14) + "0000000001500" +
          "0000000000500" + "000000000000" + "F   " + "000000000000" + Blanks(16),
      // 60R: the month MMAAAA by product.
      "60R022026" + Pad("CAFE500G", 14) + "0000000002000" + "0000000000001000" + "0000000000001000" + "1700" +
          Blanks(54),
      "60R022026" + Pad("CERVEJA350", 14) + "0000000001500" + "0000000000000500" + "0000000000000000" +
          "F   " + Blanks(54),
      // 61: blanks, date, model, series, subseries, numbers, values, rate.
      "61" + Blanks(28) + "20260211" + "02" + "B  " + "  " + "000077" + "000077" + "0000000002000" +
          "0000000002000" + "000000000240" + "0000000000000" + "0000000000000" + "1200" + " ",
      "61R022026" + Pad("OLEO900ML", 14) + "0000000004000" + "0000000000002000" + "0000000000002000" +
          "1200" + Blanks(54),
      // 70: the carrier, the CT-e's last six digits, CFOP, values of 13 and
      // 14 positions, CIF, normal.
      "70" + party + Pad(ie, 14) + "20260212" + "MS" + "57" + "1" + "  " + "234567" + "1353" +
          "0000000030000" + "00000000030000" + "00000000003600" + "00000000000000" + "00000000000000" + "1" +
          "N",
      // 74: own goods (no holder), then the retailer's goods held by the informant.
      "7420260228" + Pad("ARROZ5KG", 14) + "0000000005000" + "0000000009000" + "1" + std::string(14, '0') +
          Blanks(14) + "MS" + Blanks(45),
      "7420260228" + Pad("ARROZ5KG", 14) + "0000000001000" + "0000000001800" + "3" + party +
          Pad("115566770891", 14) + "SP" + Blanks(45),
  };
  std::vector<std::string> middle(file.lines.begin() + 2, file.lines.end());
  // The 75 lines and the 90 after the groups: one 75 per product cited.
  std::vector<std::string> products;
  while (!middle.empty() && middle.back().rfind("75", 0) != 0) middle.pop_back();
  while (!middle.empty() && middle.back().rfind("75", 0) == 0) {
    products.insert(products.begin(), middle.back().substr(18, 14));
    middle.pop_back();
  }
  EXPECT_EQ(middle, expected);
  EXPECT_EQ(products, (std::vector<std::string>{Pad("ARROZ5KG", 14), Pad("CAFE500G", 14),
                                                Pad("CERVEJA350", 14), Pad("OLEO900ML", 14)}));
  // Register 90 counts 60M/A/D/I/R as 60 and 61/61R as 61.
  EXPECT_EQ(file.lines.back().substr(30, 70),
            "55000000016000000009610000000270000000017400000002750000000499" + std::string("00000022"));
  const auto report = Check(file.lines);
  EXPECT_TRUE(report.ok()) << layout::Describe(report);
}

TEST_F(RegisterGroups, The88LinesSayWhichSideHadNoMovementAndCarryTheStockUnderSubstitution) {
  const std::string cnpj = server::CnpjFrom("234567890001");
  const std::string sme = "88SME" + cnpj + Pad("Sem Movimento de Entradas", 34) + Blanks(73);
  const std::string sms = "88SMS" + cnpj + Pad("Sem Movimento de Saidas", 34) + Blanks(73);
  // The stock of the last day of the month before the period.
  const std::string stock = "88STES" + cnpj + "20260131" + Pad("CERVEJA350", 60) + "0000000024000" +
                            "000000001532" + "000000002211" + " ";
  struct Case {
    const char* name;
    int month;
    const char* type;
    const char* mask;
    std::vector<std::string> lines88;
  } cases[] = {
      {"a January without movement", 1, "SINTEGRA - MS", "SSSSSSSSSSNS", {sme, sms}},
      // February's freight bill is an entry; its printer and consumer note exits.
      {"a February with both", 2, "SINTEGRA - MS", "NNNNNNNNNNNS", {}},
      {"the stock under substitution", 2, "SINTEGRA - RJ", "NNNNNNNNNNSN", {stock}},
      {"the national type: the 88 option, never the list's mark", 2, "SINTEGRA", "NNNNNNNNNNSS", {stock}},
  };
  for (const Case& c : cases) {
    RegistroArgs a = February();
    a.first_day = wire::EncodeDate(2026, c.month, 1);
    a.last_day = wire::EncodeDate(2026, c.month, c.month == 1 ? 31 : 28);
    a.file_type = c.type;
    a.mask = c.mask;
    const auto file = Fetch(a);
    ASSERT_EQ(file.status, "OK") << c.name;
    std::vector<std::string> lines88;
    for (const auto& line : file.lines)
      if (line.rfind("88", 0) == 0) lines88.push_back(line);
    EXPECT_EQ(lines88, c.lines88) << c.name;
    const auto report = Check(file.lines);
    EXPECT_TRUE(report.ok()) << c.name << "\n" << layout::Describe(report);
  }
}

TEST_F(RegisterGroups, MatoGrossoDoSulTakesOneMonthAndThe54OfWhoReportsPrintersOrInventory) {
  RegistroArgs a = February();
  a.file_type = "SINTEGRA - MS";
  a.mask = "SNNSSSSSSNNN";
  EXPECT_EQ(Fetch(a).status, "OK");
  a.first_day = wire::EncodeDate(2026, 1, 1);
  EXPECT_EQ(Fetch(a).status,
            "O arquivo SINTEGRA - MS contém um só mês: gere um arquivo para cada mês do período.");
  for (const char* mask : {"NNNNNSNNNNNN", "NNNNNNSNNNNN", "NNNNNNNNSNNN"}) {
    a = February();
    a.file_type = "SINTEGRA - MS";
    a.mask = mask;
    EXPECT_EQ(
        Fetch(a).status,
        "No SINTEGRA - MS, quem informa os registros 60, 61 ou 74 informa também o registro 54 (e o 75): "
        "marque o 54.")
        << mask;
  }
  a.file_type = "SINTEGRA - RJ";  // no such rule
  EXPECT_EQ(Fetch(a).status, "OK");
}

TEST_F(RegisterGroups, AnInventoryHolderIsCheckedAsADocumentsPartyIs) {
  RegistroArgs a = February();
  a.mask = "NNNNNNNNSNNN";
  a.inventory = wire::EncodeDate(2026, 2, 28);
  const auto holder = [&](const std::string& ie) {
    session_->Execute("UPDATE INVENTARIO SET CDINSCPOSS = '" + ie + "' WHERE IDPOSSE = '3'");
  };
  holder("115566770892");
  EXPECT_EQ(Fetch(a).status,
            "O produto ARROZ5KG do inventário de 2026-02-28, em posse de terceiros: a inscrição estadual da "
            "outra parte, '115566770892', não é válida em SP (tamanho ou dígitos verificadores).");
  holder("115566770891");
  EXPECT_EQ(Fetch(a).status, "OK");
}

// The 54 lines are in the order of the CNPJ or CPF as written (digits,
// zero-filled to 14), whatever form the tables keep it in: a person's two
// notes, one typed with punctuation, stay together.
TEST_F(RegisterGroups, The54LinesFollowThePartyAsWritten) {
  const std::string ie = server::QuietRegistration();
  session_->Execute("INSERT INTO MAPAFISCAL VALUES ('06', '" + ie + "', '202603', 'S')");
  {
    server::FiscalTables tables(*session_);
    const std::pair<const char*, const char*> notes[] = {
        {"987.654.321-00", "11"}, {"55666777000181", "12"}, {"98765432100", "13"}};
    std::int64_t sequence = 9100;
    for (const auto& [party, number] : notes) {
      server::NoteRow note;
      note.sequence = ++sequence;
      note.company = "06";
      note.registration = ie;
      note.direction = "S";
      note.party_cnpj = party;
      note.party_ie = "ISENTO";
      note.party_uf = "MS";
      note.date = "2026-03-10";
      note.model = "55";
      note.series = "1";
      note.number = number;
      note.issuer = "P";
      note.situation = "N";
      tables.Add(note);
      server::NoteItemRow item;
      item.sequence = sequence;
      item.item = 1;
      item.product = "ARROZ5KG";
      item.cfop = "5102";
      item.cst = "000";
      item.quantity = 1000;
      item.value = 2500;
      tables.Add(item);
    }
    tables.Flush();
  }
  RegistroArgs a = February();
  a.first_day = wire::EncodeDate(2026, 3, 1);
  a.last_day = wire::EncodeDate(2026, 3, 31);
  const auto file = Fetch(a);
  ASSERT_EQ(file.status, "OK");
  std::vector<std::string> parties;
  for (const auto& line : file.lines)
    if (line.rfind("54", 0) == 0) parties.push_back(line.substr(2, 14) + " " + line.substr(21, 6));
  EXPECT_EQ(parties, (std::vector<std::string>{"00098765432100 000011", "00098765432100 000013",
                                               "55666777000181 000012"}));
  const auto report = Check(file.lines);
  EXPECT_TRUE(report.ok()) << layout::Describe(report);
}

TEST(RegisterSelection, NationalTypesBuildEveryGroupAndStateTypesFollowTheMask) {
  struct Case {
    const char* type;
    const char* mask;
    std::string groups;  // 50 51 53 54 55 60 61 70 74 75 88-without-movement 88-stock
  } cases[] = {
      {"SINTEGRA", "NNNNNNNNNNNN", "SSSSSSSSNSNN"},
      // Marks left in the disabled list are not the user's choice; the
      // inventory and 88 options are.
      {"SINTEGRA", "NNNNNNNNSNSS", "SSSSSSSSSSNS"},
      {"SINTEGRA - RS", "SNNNNNNNNNNN", "SSSSSSSSNSNN"},
      {"SINTEGRA - MS", "NNNNNNNNNNNS", "NNNNNNNNNNSN"},
      {"DIEF - MA", "NNNNNSNNNNNN", "NNNNNSNNNSNN"},  // 60 cites products: its 75 follow
      {"SINTEGRA - RJ", "SNNNNNNSNNSN", "SNNNNNNSNNNS"},
      {"DIEF - PI", "NNNNNNNNNSNN", "NNNNNNNNNNNN"},  // 75 alone cites nothing
  };
  for (const Case& c : cases) {
    const auto s = server::SelectRegisters(c.type, c.mask);
    std::string got;
    for (const bool on : {s.r50, s.r51, s.r53, s.r54, s.r55, s.r60, s.r61, s.r70, s.r74, s.r75,
                          s.r88_without_movement, s.r88_st})
      got += on ? 'S' : 'N';
    EXPECT_EQ(got, c.groups) << c.type << " " << c.mask;
  }
}

}  // namespace
