#include <gtest/gtest.h>

#include "server/build/register_lines.h"
#include "server/demo/demo_data.h"

namespace {

TEST(FieldFormat, TextIsPlainAsciiOrLatin1CutAndPadded) {
  using server::TextEncoding;
  EXPECT_EQ(server::X("Açúcar São João", 20, TextEncoding::Ascii), "Acucar Sao Joao     ");
  EXPECT_EQ(server::X("Ção", 3, TextEncoding::Latin1), "\xC7\xE3o");
  EXPECT_EQ(server::X("longer than the field", 6, TextEncoding::Ascii), "longer");
  EXPECT_EQ(server::X("line\r\nbreak", 11, TextEncoding::Ascii), "line  break");
  // Typographic punctuation has its look-alike; what has none is a blank.
  EXPECT_EQ(server::X("Nº 5 — €", 8, TextEncoding::Ascii), "No 5 -  ");
  EXPECT_EQ(server::X("“a” ‘b’ c…\x01", 14, TextEncoding::Ascii), "\"a\" 'b' c...  ");
  EXPECT_EQ(server::X("— «x»", 5, TextEncoding::Latin1), "- \xABx\xBB");
  EXPECT_EQ(server::N("12.345-6", 8), "00123456");
  EXPECT_EQ(server::N("1234567", 6, true), "234567");  // document numbers keep their last digits
  EXPECT_THROW(server::N("1234567", 6), server::FieldOverflow);
  EXPECT_EQ(server::N(123456789, 13), "0000123456789");
  EXPECT_THROW(server::N(-1, 13), server::FieldOverflow);
  EXPECT_EQ(server::DateField("2026-01-31"), "20260131");
}

TEST(RegisterLines, EveryRegisterIs126PositionsWithFieldsInPlace) {
  server::RegisterLines lines(server::TextEncoding::Ascii);
  server::Informant informant{.cnpj = server::CnpjFrom("112223330001"),
                              .ie = "110.042.490.114",
                              .name = "Empresa",
                              .city = "Cidade",
                              .uf = "SP"};
  const std::string r10 = lines.R10(informant, {"2026-01-01", "2026-01-31", '3', '3', '1'});
  EXPECT_EQ(r10.size(), 126u);
  EXPECT_EQ(r10.substr(2, 28), "11222333000181110042490114  ");
  EXPECT_EQ(r10.substr(97, 10), "0000000000");  // no fax: zeros

  server::DocumentHead doc{"", "", "2026-01-05", "EX", "55", "1", "12", 'T', 'N'};
  const std::string r50 = lines.R50(doc, {.cfop = "3102", .total = 12345, .exempt = 12345});
  EXPECT_EQ(r50.substr(2, 28), std::string(14, '0') + "ISENTO        ");
  EXPECT_EQ(r50.substr(42, 9), "1  000012");
  const std::string r54 = lines.R54(doc, {.cfop = "3102", .cst = "041", .item = "991", .discount = 1500});
  EXPECT_EQ(r54.substr(34, 3), "991");
  EXPECT_EQ(r54.substr(74, 12), "000000001500");
  for (const auto& l :
       {r10, r50, r54, lines.R11(informant), lines.R51(doc, {}), lines.R53(doc, {}),
        lines.R75("2026-01-01", "2026-01-31", {.code = "P1", .description = "Produto", .unit = "un"})}) {
    EXPECT_EQ(l.size(), 126u) << l.substr(0, 2);
  }
}

TEST(RegisterLines, Register90SpreadsNinePairsALineWithTheGrandTotalLast) {
  server::RegisterLines lines(server::TextEncoding::Ascii);
  server::Informant informant{.cnpj = server::CnpjFrom("112223330001"), .ie = "110042490114"};
  const auto one = lines.R90(informant, {{"50", 2}, {"54", 5}}, 9);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].substr(30, 30), "500000000254000000059900000010");
  EXPECT_EQ(one[0][125], '1');
  std::vector<std::pair<std::string, long>> nine;
  for (const char* t : {"50", "51", "53", "54", "55", "60", "61", "70", "75"}) nine.emplace_back(t, 1);
  const auto two = lines.R90(informant, nine, 11);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[1].substr(30, 10), "9900000013");  // 11 lines before and the two 90 lines
  EXPECT_EQ(two[0][125], '2');
  EXPECT_EQ(two[1][125], '2');
}

}  // namespace
