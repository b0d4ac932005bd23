// Register 50: one line per document, CFOP and rate.
#include "server/document_rows.h"
#include "server/register_groups.h"
#include "server/register_models.h"

namespace server {

void Build50(const GroupContext& g) {
  FirstLineCharges charges;
  // Every document of the period, with items or without: a cancelled or
  // voided number still has its line.
  g.session.QueryEach(
      std::string("SELECT ") + kDocumentColumns +
          ", i.CDCFOP, i.VRALIQICMS, SUM(i.VRPRODUTO - i.VRDESCONTO + i.VRIPI + i.VRICMSST),"
          " SUM(i.VRBASEICMS), SUM(i.VRICMS), SUM(i.VRISENTAS), SUM(i.VROUTRAS), COUNT(i.NRITEM)"
          " FROM NOTAFISCAL n LEFT JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" +
          g.where + " AND n.CDMODELO IN " + SqlList(kModels50) + " GROUP BY " + kDocumentGroup +
          ", i.CDCFOP, i.VRALIQICMS ORDER BY " + kDocumentOrder + ", i.CDCFOP, i.VRALIQICMS",
      g.params, [&](const sql::Row& row) {
        const DocumentHead doc = Head(row);
        const std::size_t c = kDocumentColumnCount;
        if (Int(row[c + 7]) == 0 && !WithoutValues(doc)) {
          throw FileRefused(Describe(doc) +
                            " não tem itens: um documento normal precisa de "
                            "ao menos um item para ter CFOP e valores.");
        }
        CheckDocument(g, doc, Str(row[c]));
        Reg50Values v{Str(row[c]),     Int(row[c + 2]), Int(row[c + 3]), Int(row[c + 4]),
                      Int(row[c + 5]), Int(row[c + 6]), Int(row[c + 1])};
        // The document's freight, insurance and other charges go into the
        // total of its first line.
        v.total += charges(row);
        if (WithoutValues(doc)) v = Reg50Values{v.cfop, 0, 0, 0, 0, 0, v.rate};
        g.put(LineOf(doc, "50", [&] { return g.lines.R50(doc, v); }));
      });
}

}  // namespace server
