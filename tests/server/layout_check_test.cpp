#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "lib/layout/layout_check.h"
#include "server/build/register_lines.h"
#include "server/demo/demo_data.h"

namespace {

// A small valid file: 10, 11, two 50, one 54, its 75 and the 90.
std::vector<std::string> ValidFile() {
  server::RegisterLines r(server::TextEncoding::Ascii);
  server::Informant informant{server::CnpjFrom("112223330001"),
                              "110042490114",
                              "Empresa",
                              "Cidade",
                              "SP",
                              "",
                              "Rua",
                              "1",
                              "",
                              "Centro",
                              "01000000",
                              "Contato",
                              "1100000000"};
  server::DocumentHead doc{
      server::CnpjFrom("556667770001"), "115566770891", "2026-01-05", "SP", "55", "1", "12", 'P', 'N'};
  server::DocumentHead later = doc;
  later.date = "2026-01-20";
  later.number = "13";
  std::vector<std::string> lines = {
      r.R10(informant, {"2026-01-01", "2026-01-31", '3', '3', '1'}),
      r.R11(informant),
      r.R50(doc, {"5102", 1000, 1000, 180, 0, 0, 1800}),
      r.R50(later, {"5102", 2000, 2000, 360, 0, 0, 1800}),
      r.R54(doc, {"5102", "000", "001", "P1", 1000, 1000, 0, 1000, 0, 0, 1800}),
      r.R75("2026-01-01", "2026-01-31",
            {.code = "P1", .ncm = "84713012", .description = "Produto", .unit = "un"})};
  for (const auto& l : r.R90(informant, {{"50", 2}, {"54", 1}, {"75", 1}}, static_cast<long>(lines.size()))) {
    lines.push_back(l);
  }
  return lines;
}

// The period of the valid file widened to two months, its 75 with it.
void TwoMonths(std::vector<std::string>& lines) {
  lines[0].replace(115, 8, "20260228");
  lines[5].replace(10, 8, "20260228");
}

layout::Report Check(const std::vector<std::string>& lines, const std::string& ending = "\r\n") {
  std::string file;
  for (const auto& l : lines) file += l + ending;
  std::istringstream in(file);
  return layout::CheckStream(in);
}

bool Mentions(const layout::Report& report, long line, const std::string& text) {
  for (const auto& p : report.problems) {
    if (p.line == line && p.message.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST(LayoutCheck, AValidFilePasses) {
  const auto report = Check(ValidFile());
  EXPECT_TRUE(report.ok()) << layout::Describe(report);
  EXPECT_EQ(report.lines, 7);
}

TEST(LayoutCheck, CatchesTheFaultsOfABrokenFile) {
  struct Case {
    const char* name;
    std::function<void(std::vector<std::string>&)> breaks;
    long line;
    const char* says;
  } cases[] = {
      {"one byte short", [](auto& l) { l[2].pop_back(); }, 3, "125 positions"},
      {"wrong 90 total", [](auto& l) { l[6].replace(32, 8, "00000003"); }, 7, "total for type 50 is 3"},
      {"wrong grand total", [](auto& l) { l[6].replace(62, 8, "00000099"); }, 7, "grand total is 99"},
      {"register out of order", [](auto& l) { std::swap(l[4], l[5]); }, 6,
       "register 54 out of order after 75"},
      {"dates out of order", [](auto& l) { std::swap(l[2], l[3]); }, 4, "out of order within its type"},
      {"date outside the period", [](auto& l) { l[2].replace(30, 8, "20260201"); }, 3, "outside the period"},
      {"impossible date", [](auto& l) { l[2].replace(30, 8, "20260231"); }, 3, "no valid date"},
      {"letter in a numeric field", [](auto& l) { l[2][60] = 'A'; }, 3, "is not numeric"},
      {"product without 75", [](auto& l) { l[5].replace(18, 14, "P2            "); }, 5,
       "has no register 75"},
      {"90 differs from 10", [](auto& l) { l[6].replace(16, 14, "999           "); }, 7,
       "differ from register 10"},
      {"11 missing", [](auto& l) { l.erase(l.begin() + 1); }, 2, "must be register 11"},
      {"informant's IE check digits", [](auto& l) { l[0].replace(16, 14, "110042490115  "); }, 1,
       "wrong check digits for SP"},
      {"party's CNPJ check digits", [](auto& l) { l[2].replace(2, 14, "55666777000182"); }, 3,
       "wrong check digits"},
      {"party's IE check digits", [](auto& l) { l[2].replace(16, 14, "115566770892  "); }, 3,
       "wrong check digits for SP"},
      {"foreign party with a CNPJ", [](auto& l) { l[2].replace(38, 2, "EX"); }, 3,
       "foreign party's CNPJ is zeros"},
      {"no state", [](auto& l) { l[2].replace(38, 2, "XX"); }, 3, "no state abbreviation"},
      {"model 65 in 50", [](auto& l) { l[2].replace(40, 2, "65"); }, 3, "not taken in register 50"},
      {"situation", [](auto& l) { l[2][125] = 'Z'; }, 3, "situation 'Z'"},
      {"issuer", [](auto& l) { l[2][55] = 'X'; }, 3, "issuer must be P or T"},
      {"CFOP against the party's state", [](auto& l) { l[2].replace(51, 4, "6102"); }, 3, "does not agree"},
      {"CFOP of no direction", [](auto& l) { l[2].replace(51, 4, "4102"); }, 3, "does not start with"},
      {"54 without its 50", [](auto& l) { l[4].replace(21, 6, "000099"); }, 5, "has no register 50"},
      {"item 000", [](auto& l) { l[4].replace(34, 3, "000"); }, 5, "item number 000"},
      {"CST of letters", [](auto& l) { l[4].replace(31, 3, "ABC"); }, 5, "CST 'ABC'"},
      {"IE not left-aligned", [](auto& l) { l[2].replace(16, 14, " 115566770891 "); }, 3, "not left-aligned"},
      {"a second 50 for one document, CFOP and rate", [](auto& l) { l.insert(l.begin() + 3, l[2]); }, 4,
       "second register 50"},
      {"a second 75 for one product", [](auto& l) { l.insert(l.begin() + 6, l[5]); }, 7,
       "second register 75"},
      {"75 not covering the period", [](auto& l) { l[5].replace(2, 8, "20260102"); }, 6,
       "does not cover the period"},
      {"period not ending on a month's last day", [](auto& l) { l[0].replace(115, 8, "20260130"); }, 1,
       "last day of a month"},
  };
  for (const Case& c : cases) {
    auto lines = ValidFile();
    c.breaks(lines);
    const auto report = Check(lines);
    EXPECT_TRUE(Mentions(report, c.line, c.says)) << c.name << "\n" << layout::Describe(report);
  }
  EXPECT_TRUE(Mentions(Check(ValidFile(), "\n"), 1, "LF alone"));
}

TEST(LayoutCheck, FindingsAreErrorsOrWarningsNamingTheFieldAndTheDocument) {
  auto lines = ValidFile();
  lines[2].replace(51, 4, "6102");
  TwoMonths(lines);  // a warning
  const auto report = Check(lines);
  EXPECT_EQ(report.Errors(), 1) << layout::Describe(report);
  EXPECT_EQ(report.Warnings(), 1) << layout::Describe(report);
  const auto& cfop = *std::find_if(report.problems.begin(), report.problems.end(),
                                   [](const layout::Problem& p) { return p.field == "CFOP"; });
  EXPECT_EQ(cfop.line, 3);
  EXPECT_EQ(cfop.register_type, "50");
  EXPECT_EQ(cfop.document, "CNPJ " + server::CnpjFrom("556667770001") + " modelo 55 série 1 número 000012");
  const std::string json = layout::DescribeJson(report, "f.txt");
  EXPECT_NE(json.find(R"("severity":"error","register":"50","field":"CFOP")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("errors":1,"warnings":1)"), std::string::npos) << json;
}

// A valid file of the other groups: a printer's day (60M, 60A, 60D, 60I),
// its month (60R), consumer notes (61, 61R), a freight bill (70), the
// inventory (74), their product's 75 and the 90.
std::vector<std::string> ValidRetailFile() {
  server::RegisterLines r(server::TextEncoding::Ascii);
  auto lines = ValidFile();
  const server::Informant informant{server::CnpjFrom("112223330001"), "110042490114", "Empresa", "Cidade",
                                    "SP"};
  const server::EcfDay day{"2026-01-05", "ECF1", "2D", 1, 10, 11, 5, 1, 1000, 50000};
  const server::EcfSale sale{"P1", "1800", 1000, 1000, 1000, 180};
  server::DocumentHead freight{
      server::CnpjFrom("556667770001"), "115566770891", "2026-01-07", "SP", "57", "1", "88", 'T', 'N', 'E'};
  const std::vector<std::string> retail = {
      r.R60M(day),
      r.R60A(day, "1800", 1000),
      r.R60D(day, sale),
      r.R60I(day, 10, 1, sale),
      r.R60R("2026-01", sale),
      r.R61({"2026-01-06", "02", "D", "", 1, 9, 900, 900, 162, 0, 0, 1800}),
      r.R61R({"2026-01", "P1", 1000, 900, 900, 1800}),
      r.R70(freight, {"", "1353", 5000, 5000, 600, 0, 0, '2'}),
      r.R74({"2025-12-31", "P1", 1000, 700, '1', "", "", "SP"}),
  };
  lines.erase(lines.begin() + 2, lines.begin() + 5);  // the notes
  lines.insert(lines.begin() + 2, retail.begin(), retail.end());
  lines.pop_back();
  for (const auto& l : r.R90(informant, {{"60", 5}, {"61", 2}, {"70", 1}, {"74", 1}, {"75", 1}},
                             static_cast<long>(lines.size())))
    lines.push_back(l);
  return lines;
}

TEST(LayoutCheck, ChecksThePrintersConsumerNotesFreightAndInventory) {
  {
    const auto report = Check(ValidRetailFile());
    ASSERT_TRUE(report.ok()) << layout::Describe(report);
  }
  struct Case {
    const char* name;
    std::function<void(std::vector<std::string>&)> breaks;
    long line;
    const char* says;
  } cases[] = {
      {"60D before its 60M", [](auto& l) { std::swap(l[2], l[4]); }, 3, "has no register 60M"},
      {"60A after 60D", [](auto& l) { std::swap(l[3], l[4]); }, 5, "out of order in its printer's day"},
      {"60R before the days", [](auto& l) { std::swap(l[5], l[6]); }, 7, "out of order within its type"},
      {"unknown totaliser", [](auto& l) { l[3].replace(31, 4, "X   "); }, 4, "is no totaliser"},
      {"printer model", [](auto& l) { l[2].replace(34, 2, "2A"); }, 3, "not 2B, 2C or 2D"},
      {"60D of a product without 75", [](auto& l) { l[4].replace(31, 14, "P9            "); }, 5,
       "of register 60 has no register 75"},
      {"61 model", [](auto& l) { l[7].replace(38, 2, "55"); }, 8, "not taken in register 61"},
      {"61 after 61R", [](auto& l) { std::swap(l[7], l[8]); }, 9, "register 61 after the 61R lines"},
      {"70 model", [](auto& l) { l[9].replace(40, 2, "55"); }, 10, "not taken in register 70"},
      {"70 freight", [](auto& l) { l[9][124] = '7'; }, 10, "freight '7'"},
      {"70 CFOP", [](auto& l) { l[9].replace(51, 4, "2353"); }, 10, "does not agree"},
      {"own goods naming a holder", [](auto& l) { l[10].replace(51, 14, "55666777000181"); }, 11,
       "name no holder"},
      {"possession", [](auto& l) { l[10][50] = '4'; }, 11, "possession '4'"},
      {"88SME in a file with an entry",
       [](auto& l) {
         l.insert(l.end() - 1, "88SME" + l[0].substr(2, 14) + std::string("Sem Movimento de Entradas") +
                                   std::string(9 + 73, ' '));
       },
       10, "an entry in a file that says it has none"},
      {"88SMS in a file with an exit",
       [](auto& l) {
         l.insert(l.end() - 1, "88SMS" + l[0].substr(2, 14) + std::string("Sem Movimento de Saidas") +
                                   std::string(11 + 73, ' '));
       },
       3, "an exit in a file that says it has none"},
  };
  for (const Case& c : cases) {
    auto lines = ValidRetailFile();
    c.breaks(lines);
    const auto report = Check(lines);
    EXPECT_TRUE(Mentions(report, c.line, c.says)) << c.name << "\n" << layout::Describe(report);
  }
}

// A file as a public peer publishes it for its own tests (see tests/data/README.md).
TEST(LayoutCheck, APublicPeersValidFilePasses) {
  const auto report = layout::CheckFile(std::string(MAG_TEST_DATA) + "/peer-stoq-sintegra-expected.txt");
  EXPECT_EQ(report.lines, 7);
  EXPECT_TRUE(report.ok()) << layout::Describe(report);
}

TEST(LayoutCheck, MagCheckExitsZeroOneOrTwo) {
  const auto dir = std::filesystem::temp_directory_path() / ("mag_check_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto write = [&](const std::string& name, std::vector<std::string> lines) {
    std::ofstream out(dir / name, std::ios::binary);
    for (const auto& l : lines) out << l << "\r\n";
    return (dir / name).string();
  };
  auto warning = ValidFile();
  TwoMonths(warning);
  auto error = ValidFile();
  error[2].replace(51, 4, "6102");
  const auto status = [](const std::string& args) {
    const int s = std::system((std::string(MAG_CHECK_PATH) + " " + args + " >/dev/null 2>&1").c_str());
    return WEXITSTATUS(s);
  };
  const std::string clean = write("clean.txt", ValidFile());
  EXPECT_EQ(status(clean), 0);
  EXPECT_EQ(status(write("warning.txt", warning)), 1);
  EXPECT_EQ(status(write("error.txt", error)), 2);
  EXPECT_EQ(status("--json " + clean), 0);
  EXPECT_EQ(status((dir / "missing.txt").string()), 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
