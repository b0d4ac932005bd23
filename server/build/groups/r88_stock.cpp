// Register 88 "STES": the stock of goods under tax substitution, by product,
// with the ICMS withheld on it and the ICMS of the informant's own
// operations: of the inventory day the request names, or else of the last day
// of the month before the period.
#include <cstdio>

#include "lib/wire/host_date.h"
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"

namespace server {

void Build88Stock(const GroupContext& g) {
  if (OnlyDocumentsOfOperations(g)) return;
  std::string day = g.request.inventory_day;
  if (day.empty()) {
    int year = std::stoi(g.request.first_day.substr(0, 4)),
        month = std::stoi(g.request.first_day.substr(5, 2));
    if (--month == 0) month = 12, --year;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, wire::DaysInMonth(year, month));
    day = buffer;
  }
  g.session.QueryEach(
      "SELECT CDPRODUTO, QTPRODUTO, VRICMSST, VRICMSPROPRIO FROM ESTOQUEST"
      " WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND DTESTOQUE = :DIA ORDER BY CDPRODUTO",
      {{"EMP", g.request.company}, {"IE", g.request.registration}, {"DIA", day}}, [&](const sql::Row& row) {
        const StStock stock{day, Str(row[0]), Int(row[1]), Int(row[2]), Int(row[3])};
        try {
          g.put(g.lines.R88Stock(g.informant, stock));
        } catch (const FieldOverflow& e) {
          throw FileRefused("O estoque sob substituição tributária do produto " + stock.product + " em " +
                            day + ": no registro 88, " + e.what() + ".");
        }
      });
}

}  // namespace server
