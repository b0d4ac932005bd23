// Register 61: the consumer documents not issued by a fiscal printer, one
// line per day, model, series, subseries and rate; then 61R, the month's
// sales by product of the consumer notes (model 02).
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"
#include "server/build/register_models.h"

namespace server {

void Build61(const GroupContext& g) {
  if (OnlyDocumentsOfOperations(g)) return;
  const std::string own =
      " WHERE n.CDEMPRESA = :EMP AND n.CDINSCESTA = :IE AND n.DTEMISSAO BETWEEN :INI AND :FIM";
  // A model the register does not take refuses the file, naming a document.
  g.session.QueryEach("SELECT n.CDMODELO, n.CDSERIE, n.NRNOTA, n.DTEMISSAO FROM NOTACONSUMIDOR n" + own +
                          " AND n.CDMODELO NOT IN " + SqlList(kModels61) + " ORDER BY n.DTEMISSAO LIMIT 1",
                      PeriodParams(g), [&](const sql::Row& row) {
                        throw FileRefused("A nota de consumidor modelo " + Str(row[0]) + " série " +
                                          Str(row[1]) + " número " + Str(row[2]) + " de " + Str(row[3]) +
                                          " não é de um modelo do registro 61 (02, 13 a 16, 65).");
                      });
  // A cancelled or denied note keeps its number in the day's range and adds
  // nothing to the day's values.
  const auto value = [](const char* column) {
    return std::string(" SUM(CASE WHEN n.IDSITUACAO IN ") + kSituationsWithoutValues + " THEN 0 ELSE n." +
           column + " END)";
  };
  g.session.QueryEach(
      "SELECT n.DTEMISSAO, n.CDMODELO, n.CDSERIE, n.CDSUBSERIE, MIN(n.NRNOTA), MAX(n.NRNOTA)," +
          value("VRTOTAL") + "," + value("VRBASEICMS") + "," + value("VRICMS") + "," + value("VRISENTAS") +
          "," + value("VROUTRAS") + ", n.VRALIQICMS FROM NOTACONSUMIDOR n" + own +
          " GROUP BY n.DTEMISSAO, n.CDMODELO, n.CDSERIE, n.CDSUBSERIE, n.VRALIQICMS"
          " ORDER BY n.DTEMISSAO, n.CDMODELO, n.CDSERIE, n.CDSUBSERIE, n.VRALIQICMS",
      PeriodParams(g), [&](const sql::Row& row) {
        const Reg61Values v{Str(row[0]), Str(row[1]), Str(row[2]), Str(row[3]), Int(row[4]),  Int(row[5]),
                            Int(row[6]), Int(row[7]), Int(row[8]), Int(row[9]), Int(row[10]), Int(row[11])};
        try {
          g.put(g.lines.R61(v));
        } catch (const FieldOverflow& e) {
          throw FileRefused("As notas de consumidor modelo " + v.model + " série " + v.series + " de " +
                            v.date + ": no registro 61, " + e.what() + ".");
        }
      });
  g.session.QueryEach(
      "SELECT SUBSTR(n.DTEMISSAO, 1, 7), i.CDPRODUTO, SUM(i.QTITEM), SUM(i.VRPRODUTO), SUM(i.VRBASEICMS),"
      " n.VRALIQICMS FROM NOTACONSUMIDORITEM i JOIN NOTACONSUMIDOR n ON n.NRSEQNC = i.NRSEQNC" +
          own + " AND n.CDMODELO IN " + SqlList(kModels61R) + " AND n.IDSITUACAO NOT IN " +
          kSituationsWithoutValues +
          " GROUP BY SUBSTR(n.DTEMISSAO, 1, 7), i.CDPRODUTO, n.VRALIQICMS"
          " ORDER BY SUBSTR(n.DTEMISSAO, 1, 7), i.CDPRODUTO, n.VRALIQICMS",
      PeriodParams(g), [&](const sql::Row& row) {
        const Reg61RValues v{Str(row[0]), Str(row[1]), Int(row[2]), Int(row[3]), Int(row[4]), Int(row[5])};
        try {
          g.put(g.lines.R61R(v));
        } catch (const FieldOverflow& e) {
          throw FileRefused("O resumo mensal do produto " + v.product + " (" + v.month +
                            "): no registro 61R, " + e.what() + ".");
        }
      });
}

}  // namespace server
