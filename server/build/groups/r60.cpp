// Register 60: the fiscal printers' days. Each reduction Z in the order of
// its date, printer serial and counter gives its 60M, then its partial totals
// (60A), its sales by product (60D) and its coupon items (60I); the month's
// sales by product (60R) follow them all.
#include "lib/layout/document_rules.h"
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"

namespace server {
namespace {

std::string Name(const EcfDay& day) {
  return "A redução Z " + std::to_string(day.crz) + " do ECF " + day.serial + " de " + day.date;
}

EcfSale Sale(const sql::Row& row, std::size_t at) {
  return {Str(row[at]),     Str(row[at + 1]), Int(row[at + 2]),
          Int(row[at + 3]), Int(row[at + 4]), Int(row[at + 5])};
}

template <typename F>
void Put(const GroupContext& g, const EcfDay& day, const char* type, F&& build) {
  try {
    g.put(build());
  } catch (const FieldOverflow& e) {
    throw FileRefused(Name(day) + ": no registro " + type + ", " + e.what() + ".");
  }
}

}  // namespace

void Build60(const GroupContext& g) {
  if (OnlyDocumentsOfOperations(g)) return;
  const auto totals = g.session.Prepare(
      "SELECT CDTOTALIZADOR, VRACUMULADO FROM ECFTOTALIZADOR WHERE NRSEQREDZ = :Z ORDER BY CDTOTALIZADOR");
  const auto by_product = g.session.Prepare(
      "SELECT CDPRODUTO, CDTOTALIZADOR, SUM(QTITEM), SUM(VRITEM), SUM(VRBASEICMS), SUM(VRICMS) FROM ECFITEM"
      " WHERE NRSEQREDZ = :Z GROUP BY CDPRODUTO, CDTOTALIZADOR ORDER BY CDPRODUTO, CDTOTALIZADOR");
  const auto items = g.session.Prepare(
      "SELECT NRCOO, NRITEM, CDPRODUTO, CDTOTALIZADOR, QTITEM, VRITEM, VRBASEICMS, VRICMS FROM ECFITEM"
      " WHERE NRSEQREDZ = :Z ORDER BY NRCOO, NRITEM");
  std::vector<sql::Param> reduction{{"Z", std::nullopt}};
  const auto check = [](const EcfDay& day, const std::string& code) {
    if (!layout::ValidTotaliser(code)) {
      throw FileRefused(Name(day) + " tem o totalizador '" + code +
                        "': use a alíquota em 4 dígitos (1700) ou F, I, N, CANC, DESC, ISS.");
    }
  };
  g.session.QueryEach(
      "SELECT z.NRSEQREDZ, z.DTMOVIMENTO, z.NRSERIEECF, e.NRORDEMECF, e.CDMODELODOC, z.NRCOOINICIAL,"
      " z.NRCOOFINAL, z.NRCRZ, z.NRCRO, z.VRVENDABRUTA, z.VRGRANDETOTAL FROM ECFREDUCAOZ z"
      " JOIN ECF e ON e.CDEMPRESA = z.CDEMPRESA AND e.CDINSCESTA = z.CDINSCESTA AND e.NRSERIEECF = "
      "z.NRSERIEECF"
      " WHERE z.CDEMPRESA = :EMP AND z.CDINSCESTA = :IE AND z.DTMOVIMENTO BETWEEN :INI AND :FIM"
      " ORDER BY z.DTMOVIMENTO, z.NRSERIEECF, z.NRCRZ",
      PeriodParams(g), [&](const sql::Row& row) {
        const EcfDay day{Str(row[1]), Str(row[2]), Str(row[4]), Int(row[3]), Int(row[5]),
                         Int(row[6]), Int(row[7]), Int(row[8]), Int(row[9]), Int(row[10])};
        if (day.model != "2B" && day.model != "2C" && day.model != "2D") {
          throw FileRefused("O ECF " + day.serial + " tem o modelo de documento '" + day.model +
                            "': os cupons fiscais são 2B, 2C ou 2D.");
        }
        Put(g, day, "60M", [&] { return g.lines.R60M(day); });
        reduction[0].value = row[0];
        totals->Each(reduction, [&](const sql::Row& t) {
          check(day, Str(t[0]));
          Put(g, day, "60A", [&] { return g.lines.R60A(day, Str(t[0]), Int(t[1])); });
        });
        by_product->Each(reduction, [&](const sql::Row& s) {
          const EcfSale sale = Sale(s, 0);
          check(day, sale.totaliser);
          Put(g, day, "60D", [&] { return g.lines.R60D(day, sale); });
        });
        items->Each(reduction, [&](const sql::Row& i) {
          const EcfSale sale = Sale(i, 2);
          Put(g, day, "60I", [&] { return g.lines.R60I(day, Int(i[0]), Int(i[1]), sale); });
        });
      });
  g.session.QueryEach(
      "SELECT SUBSTR(z.DTMOVIMENTO, 1, 7), i.CDPRODUTO, i.CDTOTALIZADOR, SUM(i.QTITEM), SUM(i.VRITEM),"
      " SUM(i.VRBASEICMS), SUM(i.VRICMS) FROM ECFITEM i JOIN ECFREDUCAOZ z ON z.NRSEQREDZ = i.NRSEQREDZ"
      " WHERE z.CDEMPRESA = :EMP AND z.CDINSCESTA = :IE AND z.DTMOVIMENTO BETWEEN :INI AND :FIM"
      " GROUP BY SUBSTR(z.DTMOVIMENTO, 1, 7), i.CDPRODUTO, i.CDTOTALIZADOR"
      " ORDER BY SUBSTR(z.DTMOVIMENTO, 1, 7), i.CDPRODUTO, i.CDTOTALIZADOR",
      PeriodParams(g), [&](const sql::Row& row) {
        const EcfSale sale = Sale(row, 1);
        try {
          g.put(g.lines.R60R(Str(row[0]), sale));
        } catch (const FieldOverflow& e) {
          throw FileRefused("O resumo mensal do produto " + sale.product + " (" + Str(row[0]) +
                            "): no registro 60R, " + e.what() + ".");
        }
      });
}

}  // namespace server
