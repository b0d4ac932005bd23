// Register 53: the tax retained by substitution, one line per document and CFOP.
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"
#include "server/build/register_models.h"

namespace server {

void Build53(const GroupContext& g) {
  FirstLineCharges charges;
  g.session.QueryEach(
      std::string("SELECT ") + kDocumentColumns +
          ", i.CDCFOP, SUM(i.VRBASEST), SUM(i.VRICMSST), n.CDANTECIPACAO"
          " FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" +
          g.where + " AND n.CDMODELO IN " + SqlList(kModels53) +
          // Only the documents with tax substitution are grouped (see 51).
          " AND n.NRSEQNOTA IN (SELECT x.NRSEQNOTA FROM NOTAFISCALITEM x WHERE x.VRBASEST <> 0)"
          " GROUP BY " +
          kDocumentGroup +
          ", n.CDANTECIPACAO, i.CDCFOP HAVING SUM(i.VRBASEST) > 0"
          " ORDER BY " +
          kDocumentOrder + ", i.CDCFOP",
      g.params, [&](const sql::Row& row) {
        const DocumentHead doc = Head(row);
        const std::size_t c = kDocumentColumnCount;
        CheckDocument(g, doc, Str(row[c]));
        Reg53Values v{Str(row[c]), Int(row[c + 1]), Int(row[c + 2]), 0, Str(row[c + 3])};
        v.expenses = charges(row);
        if (WithoutValues(doc)) v = Reg53Values{v.cfop, 0, 0, 0, v.anticipation};
        g.put(LineOf(doc, "53", [&] { return g.lines.R53(doc, v); }));
      });
}

}  // namespace server
