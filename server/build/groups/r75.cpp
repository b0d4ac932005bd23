// Register 75: every product the file cites, once.
#include <algorithm>
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"
#include "server/build/register_models.h"

namespace server {

void Build75(const GroupContext& g) {
  // In the order of the codes as written (the text of a code may change in
  // the writing), and one line per written code.
  // The products the other groups of the file cite, read as they read them.
  std::vector<std::string> cited;
  std::vector<sql::Param> params;
  const auto add = [&](const std::vector<sql::Param>& more) {
    for (const sql::Param& p : more) {
      bool known = false;
      for (const sql::Param& q : params) known = known || q.name == p.name;
      if (!known) params.push_back(p);
    }
  };
  if (g.selected.r54) {
    cited.push_back(
        "SELECT i.CDPRODUTO FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" + g.where +
        " AND n.CDMODELO IN " + SqlList(kModels54));
    add(g.params);
  }
  if (!OnlyDocumentsOfOperations(g)) {
    const std::string own = " CDEMPRESA = :EMP AND CDINSCESTA = :IE AND ";
    if (g.selected.r60) {
      cited.push_back(
          "SELECT i.CDPRODUTO FROM ECFITEM i JOIN ECFREDUCAOZ z ON z.NRSEQREDZ = i.NRSEQREDZ WHERE z." +
          own.substr(1) + "z.DTMOVIMENTO BETWEEN :INI AND :FIM");
      add(PeriodParams(g));
    }
    if (g.selected.r61) {
      cited.push_back(
          "SELECT i.CDPRODUTO FROM NOTACONSUMIDORITEM i JOIN NOTACONSUMIDOR c ON c.NRSEQNC = i.NRSEQNC WHERE "
          "c." +
          own.substr(1) + "c.DTEMISSAO BETWEEN :INI AND :FIM AND c.CDMODELO IN " + SqlList(kModels61R) +
          " AND c.IDSITUACAO NOT IN " + kSituationsWithoutValues);
      add(PeriodParams(g));
    }
    if (g.selected.r74) {
      if (g.request.inventory_day.empty()) {
        cited.push_back("SELECT CDPRODUTO FROM INVENTARIO WHERE" + own +
                        "DTINVENTARIO BETWEEN :INI AND :FIM");
        add(PeriodParams(g));
      } else {
        cited.push_back("SELECT CDPRODUTO FROM INVENTARIO WHERE" + own + "DTINVENTARIO = :DIA");
        add({{"EMP", g.request.company}, {"IE", g.request.registration}, {"DIA", g.request.inventory_day}});
      }
    }
  }
  if (cited.empty()) return;
  std::string union_of_cited;
  for (const std::string& query : cited) union_of_cited += (union_of_cited.empty() ? "" : " UNION ") + query;
  std::vector<std::string> products;
  g.session.QueryEach(
      "SELECT p.CDPRODUTO, p.CDNCM, p.NMPRODUTO, p.SGUNIDADE, p.VRALIQIPI, p.VRALIQICMS, p.VRPERREDBC, "
      "p.VRBASEST FROM PRODUTO p WHERE p.CDPRODUTO IN (" +
          union_of_cited + ")",
      params, [&](const sql::Row& row) {
        Product p{Str(row[0]), Str(row[1]), Str(row[2]), Str(row[3]),
                  Int(row[4]), Int(row[5]), Int(row[6]), Int(row[7])};
        try {
          products.push_back(g.lines.R75(g.request.first_day, g.request.last_day, p));
        } catch (const FieldOverflow& overflow) {
          throw FileRefused("Produto " + p.code + ": no registro 75, " + overflow.what() + ".");
        }
      });
  const auto code = [](const std::string& line) { return line.substr(18, 14); };
  std::sort(products.begin(), products.end(),
            [&](const std::string& a, const std::string& b) { return code(a) < code(b); });
  for (std::size_t k = 1; k < products.size(); ++k) {
    if (code(products[k]) == code(products[k - 1])) {
      throw FileRefused("Dois produtos ficam com o mesmo código no arquivo: '" + code(products[k]) +
                        "'. Os códigos de produto devem ser distintos nas 14 posições do registro 75.");
    }
  }
  for (const std::string& line : products) g.put(line);
}

}  // namespace server
