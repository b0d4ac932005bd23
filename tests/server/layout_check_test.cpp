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
      {"informant's number neither a CNPJ nor a zero-filled CPF",
       [](auto& l) { l[0].replace(2, 14, "00050795722053"); }, 1, "neither a CNPJ nor a CPF"},
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
  // The checker's words stay UTF-8; a file's own byte above 127 is ISO-8859-1.
  EXPECT_NE(json.find("modelo 55 série 1 número 000012"), std::string::npos) << json;
  lines[4].replace(37, 3, "P\xE3o");  // a product without its 75
  EXPECT_NE(layout::DescribeJson(Check(lines), "f.txt").find("product 'P\\u00e3o'"), std::string::npos);
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

namespace {

// The valid file with `notes` more exits of one day: a file of many lines.
std::vector<std::string> ManyLines(int notes) {
  server::RegisterLines r(server::TextEncoding::Ascii);
  auto lines = ValidFile();
  lines.pop_back();  // the 90
  server::DocumentHead doc{
      server::CnpjFrom("556667770001"), "115566770891", "2026-01-20", "SP", "55", "1", "", 'P', 'N'};
  std::vector<std::string> more;
  for (int k = 0; k < notes; ++k) {
    doc.number = std::to_string(1000 + k);
    more.push_back(r.R50(doc, {"5102", 100, 100, 18, 0, 0, 1800}));
  }
  lines.insert(lines.begin() + 4, more.begin(), more.end());
  const server::Informant informant{server::CnpjFrom("112223330001"), "110042490114", "Empresa", "Cidade",
                                    "SP"};
  for (const auto& l :
       r.R90(informant, {{"50", 2 + notes}, {"54", 1}, {"75", 1}}, static_cast<long>(lines.size())))
    lines.push_back(l);
  return lines;
}

std::size_t LinesOf(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST(LayoutCheck, OneCauseOnEveryLineIsOneFindingCountedOnEachLine) {
  const auto lines = ManyLines(993);
  ASSERT_EQ(lines.size(), 1000u);
  ASSERT_TRUE(Check(lines).ok()) << layout::Describe(Check(lines));
  const auto report = Check(lines, "\n");
  ASSERT_EQ(report.problems.size(), 1u) << layout::Describe(report);
  const layout::Problem& p = report.problems[0];
  EXPECT_EQ(p.rule, "line-ending");
  EXPECT_EQ(p.severity, layout::Severity::Warning);
  EXPECT_EQ(p.count, 1000);
  EXPECT_EQ(p.lines.size(), 1000u);
  // The text: the rule with its first lines, its finding, the summary.
  const std::string text = layout::Describe(report);
  EXPECT_EQ(LinesOf(text), 3u) << text;
  EXPECT_NE(text.find("warning line-ending: 1 finding on 1000 lines: 1, 2, 3, 4, 5 …"), std::string::npos)
      << text;
  EXPECT_NE(text.find("0 errors, 1 warning in 1000 lines"), std::string::npos) << text;
  // The JSON keeps every line of it.
  const std::string json = layout::DescribeJson(report, "f.txt");
  EXPECT_NE(json.find(R"("rule":"line-ending","count":1000,"lines":[1,2,3,)"), std::string::npos);
}

TEST(LayoutCheck, TheTextGroupsFindingsByRuleAndAllListsEveryOne) {
  auto lines = ValidFile();
  lines[2].replace(51, 4, "6102");  // CFOP against the party's state
  lines[3].replace(51, 4, "6102");
  lines[3].replace(16, 14, "115566770892  ");  // and a wrong IE
  const auto report = Check(lines);
  EXPECT_EQ(report.Errors(), 3) << layout::Describe(report);
  const std::string text = layout::Describe(report), all = layout::Describe(report, true);
  EXPECT_NE(text.find("error cfop-direction: 2 findings on 2 lines: 3, 4"), std::string::npos) << text;
  EXPECT_NE(text.find("error party-ie: 1 finding on 1 line: 4"), std::string::npos) << text;
  EXPECT_NE(text.find("… 1 more (--all lists every finding)"), std::string::npos) << text;
  EXPECT_EQ(text.find("line 4: register 50, field CFOP"), std::string::npos) << text;
  EXPECT_NE(all.find("line 4: register 50, field CFOP"), std::string::npos) << all;
}

// What the layout prescribes without the validators refusing a delivered
// file is a warning; what they refuse, an error.
TEST(LayoutCheck, SeverityFollowsTheSources) {
  server::RegisterLines r(server::TextEncoding::Ascii);
  struct Case {
    const char* name;
    std::function<void(std::vector<std::string>&)> changes;
    const char* rule;  // nullptr: no finding at all
    layout::Severity severity;
  } cases[] = {
      {"dates out of order inside 50", [](auto& l) { std::swap(l[2], l[3]); }, "group-order",
       layout::Severity::Warning},
      {"a zero total for a type the file lacks",
       [](auto& l) { l[6].replace(60, 20, "60000000009900000007"); }, "zero-total-90",
       layout::Severity::Warning},
      {"a total for a type the file lacks", [](auto& l) { l[6].replace(60, 20, "60000000019900000007"); },
       "totals-90", layout::Severity::Error},
      {"structure 1 for a period since 2004", [](auto& l) { l[0][123] = '1'; }, "structure",
       layout::Severity::Error},
      {"structure 2 for a period before 2004",
       [](auto& l) {
         for (auto* line : {&l[0], &l[5]}) {
           auto& text = *line;
           for (auto at = text.find("2026"); at != std::string::npos; at = text.find("2026", at))
             text.replace(at, 4, "2003");
         }
         for (auto* line : {&l[2], &l[3]}) line->replace(30, 4, "2003");
         l[0][123] = '2';
       },
       nullptr, layout::Severity::Error},
      {"a charge line naming a product", [&](auto& l) { l[4].replace(34, 3, "991"); }, "charge-line",
       layout::Severity::Error},
      {"a charge line with a quantity",
       [&](auto& l) {
         l[4].replace(34, 3, "991");
         l[4].replace(37, 14, std::string(14, ' '));
       },
       "charge-line", layout::Severity::Error},
  };
  for (const Case& c : cases) {
    auto lines = ValidFile();
    c.changes(lines);
    const auto report = Check(lines);
    if (!c.rule) {
      EXPECT_TRUE(report.ok()) << c.name << "\n" << layout::Describe(report);
      continue;
    }
    const auto found = std::find_if(report.problems.begin(), report.problems.end(),
                                    [&](const layout::Problem& p) { return p.rule == c.rule; });
    ASSERT_NE(found, report.problems.end()) << c.name << "\n" << layout::Describe(report);
    EXPECT_EQ(found->severity, c.severity) << c.name;
    if (c.severity == layout::Severity::Warning) {
      EXPECT_EQ(report.Errors(), 0) << c.name << "\n" << layout::Describe(report);
    }
  }
}

// A shop's system keeps numeric product codes in the order of their
// numbers; the validators take it, and so does the checker.
TEST(LayoutCheck, NumericProductCodesMayFollowTheirNumbers) {
  server::RegisterLines r(server::TextEncoding::Ascii);
  const auto file = [&](const std::vector<std::string>& codes) {
    auto lines = ValidFile();
    lines.pop_back();
    lines.erase(lines.begin() + 4, lines.end());  // the 54 and the 75
    server::DocumentHead doc{
        server::CnpjFrom("556667770001"), "115566770891", "2026-01-05", "SP", "55", "1", "12", 'P', 'N'};
    std::vector<std::string> items, products;
    for (std::size_t k = 0; k < codes.size(); ++k) {
      items.push_back(r.R54(
          doc, {"5102", "000", "00" + std::to_string(k + 1), codes[k], 1000, 1000, 0, 1000, 0, 0, 1800}));
      products.push_back(
          r.R75("2026-01-01", "2026-01-31",
                {.code = codes[k], .ncm = "84713012", .description = "Produto", .unit = "un"}));
    }
    lines.insert(lines.end(), items.begin(), items.end());
    lines.insert(lines.end(), products.begin(), products.end());
    const server::Informant informant{server::CnpjFrom("112223330001"), "110042490114", "Empresa", "Cidade",
                                      "SP"};
    for (const auto& l :
         r.R90(informant,
               {{"50", 2}, {"54", static_cast<long>(codes.size())}, {"75", static_cast<long>(codes.size())}},
               static_cast<long>(lines.size())))
      lines.push_back(l);
    return Check(lines);
  };
  EXPECT_TRUE(file({"2", "10", "0100"}).ok()) << layout::Describe(file({"2", "10", "0100"}));
  EXPECT_TRUE(file({"10", "2"}).ok()) << layout::Describe(file({"10", "2"}));
  const auto unordered = file({"B1", "A1"});
  ASSERT_EQ(unordered.problems.size(), 1u) << layout::Describe(unordered);
  EXPECT_EQ(unordered.problems[0].rule, "group-order");
}

// docs/checker.md gives every rule of the book with its severity.
TEST(LayoutCheck, TheDocumentedRulesAreTheBook) {
  std::ifstream in(std::string(MAG_SOURCE_DIR) + "/docs/checker.md");
  const std::string doc(std::istreambuf_iterator<char>(in), {});
  for (const layout::Rule& rule : layout::RuleBook()) {
    const std::string row = "| `" + std::string(rule.name) + "` | " +
                            (rule.severity == layout::Severity::Error ? "error" : "warning") + " |";
    EXPECT_NE(doc.find(row), std::string::npos) << "docs/checker.md has no row " << row;
  }
}
