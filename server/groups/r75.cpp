// Register 75: every product the file cites, once.
#include <algorithm>
#include "server/document_rows.h"
#include "server/register_groups.h"
#include "server/register_models.h"

namespace server {

void Build75(const GroupContext& g) {
  // In the order of the codes as written (the text of a code may change in
  // the writing), and one line per written code.
  std::vector<std::string> products;
  g.session.QueryEach(
      "SELECT p.CDPRODUTO, p.CDNCM, p.NMPRODUTO, p.SGUNIDADE, p.VRALIQIPI, p.VRALIQICMS, p.VRPERREDBC, "
      "p.VRBASEST"
      " FROM PRODUTO p WHERE p.CDPRODUTO IN (SELECT i.CDPRODUTO FROM NOTAFISCAL n JOIN NOTAFISCALITEM i"
      " ON i.NRSEQNOTA = n.NRSEQNOTA" +
          g.where + " AND n.CDMODELO IN " + SqlList(kModels54) + ")",
      g.params, [&](const sql::Row& row) {
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
