#include <gtest/gtest.h>

#include <sstream>

#include "lib/layout/layout_check.h"
#include "server/demo_data.h"
#include "server/register_lines.h"

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
  };
  for (const Case& c : cases) {
    auto lines = ValidFile();
    c.breaks(lines);
    const auto report = Check(lines);
    EXPECT_TRUE(Mentions(report, c.line, c.says)) << c.name << "\n" << layout::Describe(report);
  }
  EXPECT_TRUE(Mentions(Check(ValidFile(), "\n"), 1, "LF alone"));
}

}  // namespace
