// Register 51: the IPI totals of a document, one line per CFOP.
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"
#include "server/build/register_models.h"

namespace server {

void Build51(const GroupContext& g) {
  FirstLineCharges charges;
  g.session.QueryEach(
      std::string("SELECT ") + kDocumentColumns +
          ", i.CDCFOP, SUM(i.VRPRODUTO - i.VRDESCONTO + i.VRIPI + i.VRICMSST), SUM(i.VRIPI), "
          "SUM(i.VRISENTASIPI),"
          " SUM(i.VROUTRASIPI) FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" +
          g.where + " AND n.CDMODELO IN " + SqlList(kModels51) +
          // Only the documents with IPI are grouped: most companies' files
          // have none, and grouping every item to find that costs a scan
          // and a sort of the whole period.
          " AND n.NRSEQNOTA IN (SELECT x.NRSEQNOTA FROM NOTAFISCALITEM x"
          " WHERE x.VRIPI <> 0 OR x.VRISENTASIPI <> 0 OR x.VROUTRASIPI <> 0) GROUP BY " +
          kDocumentGroup +
          ", i.CDCFOP HAVING SUM(i.VRIPI + i.VRISENTASIPI + i.VROUTRASIPI) > 0"
          " ORDER BY " +
          kDocumentOrder + ", i.CDCFOP",
      g.params, [&](const sql::Row& row) {
        const DocumentHead doc = Head(row);
        const std::size_t c = kDocumentColumnCount;
        CheckDocument(g, doc, Str(row[c]));
        Reg51Values v{Str(row[c]), Int(row[c + 1]), Int(row[c + 2]), Int(row[c + 3]), Int(row[c + 4])};
        // The document's total is one figure in 50 and in 51: the charges
        // go into its first line here too.
        v.total += charges(row);
        if (WithoutValues(doc)) v = Reg51Values{v.cfop, 0, 0, 0, 0};
        g.put(LineOf(doc, "51", [&] { return g.lines.R51(doc, v); }));
      });
}

}  // namespace server
