// Register 74: the inventory, by product, then possession and holder. The
// inventory of the day the request names (the last day of the inventory
// month); without one, the inventories taken inside the period.
#include "lib/layout/document_rules.h"
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"

namespace server {

void Build74(const GroupContext& g) {
  if (OnlyDocumentsOfOperations(g)) return;
  std::vector<sql::Param> params = {{"EMP", g.request.company}, {"IE", g.request.registration}};
  std::string days;
  if (g.request.inventory_day.empty()) {
    days = " AND DTINVENTARIO BETWEEN :INI AND :FIM";
    params.push_back({"INI", g.request.first_day});
    params.push_back({"FIM", g.request.last_day});
  } else {
    days = " AND DTINVENTARIO = :DIA";
    params.push_back({"DIA", g.request.inventory_day});
  }
  g.session.QueryEach(
      "SELECT DTINVENTARIO, CDPRODUTO, QTPRODUTO, VRPRODUTO, IDPOSSE, NRCNPJPOSS, CDINSCPOSS, SGESTADOPOSS"
      " FROM INVENTARIO WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE" +
          days + " ORDER BY DTINVENTARIO, CDPRODUTO, IDPOSSE, NRCNPJPOSS",
      params, [&](const sql::Row& row) {
        const std::string possession = Str(row[4]);
        Reg74Values v{
            Str(row[0]), Str(row[1]), Int(row[2]), Int(row[3]), possession.empty() ? ' ' : possession[0],
            Str(row[5]), Str(row[6]), Str(row[7])};
        const std::string item = "O produto " + v.product + " do inventário de " + v.date;
        if (possession.size() != 1 || std::string("123").find(possession) == std::string::npos)
          throw FileRefused(item + " tem a posse '" + possession + "': 1, 2 ou 3.");
        // The holder of goods in a third party's hands, or of a third
        // party's goods, is a party as a document's is.
        if (v.possession != '1') {
          const layout::DocumentParty holder{v.cnpj, v.ie, v.uf, g.informant.uf, std::nullopt};
          if (const auto breach = layout::FirstError(layout::DocumentBreaches(holder)))
            throw FileRefused(item + ", em posse de terceiros: " + breach->words + ".");
        }
        if (v.possession == '1') v.uf = g.informant.uf;
        try {
          g.put(g.lines.R74(v));
        } catch (const FieldOverflow& e) {
          throw FileRefused(item + ": no registro 74, " + e.what() + ".");
        }
      });
}

}  // namespace server
