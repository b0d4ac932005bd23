// Register 50: one line per document, CFOP and rate.
#include "server/document_rows.h"
#include "server/register_groups.h"
#include "server/register_models.h"

namespace server {

void Build50(const GroupContext& g) {
  // The documents in file order, and for each its items summed by CFOP and
  // rate: a small query per document, prepared once, instead of one that
  // groups and sorts every item row of the period (a third of the time).
  const auto lines_of_document = g.session.Prepare(
      "SELECT CDCFOP, VRALIQICMS, SUM(VRPRODUTO - VRDESCONTO + VRIPI + VRICMSST), SUM(VRBASEICMS),"
      " SUM(VRICMS), SUM(VRISENTAS), SUM(VROUTRAS) FROM NOTAFISCALITEM WHERE NRSEQNOTA = :DOC"
      " GROUP BY CDCFOP, VRALIQICMS ORDER BY CDCFOP, VRALIQICMS");
  std::vector<sql::Param> document{{"DOC", std::nullopt}};
  // Every document of the period, with items or without: a cancelled or
  // voided number still has its line.
  g.session.QueryEach(std::string("SELECT ") + kDocumentColumns + " FROM NOTAFISCAL n" + g.where +
                          " AND n.CDMODELO IN " + SqlList(kModels50) + " ORDER BY " + kDocumentOrder,
                      g.params, [&](const sql::Row& head) {
                        const DocumentHead doc = Head(head);
                        // The document's freight, insurance and other charges
                        // go into the total of its first line.
                        std::int64_t charges = Int(head[kDocumentChargesColumn]);
                        const auto put = [&](Reg50Values v) {
                          v.total += charges;
                          charges = 0;
                          if (WithoutValues(doc)) v = Reg50Values{v.cfop, 0, 0, 0, 0, 0, v.rate};
                          g.put(LineOf(doc, "50", [&] { return g.lines.R50(doc, v); }));
                        };
                        bool has_items = false;
                        document[0].value = head[0];
                        lines_of_document->Each(document, [&](const sql::Row& row) {
                          has_items = true;
                          CheckDocument(g, doc, Str(row[0]));
                          put(Reg50Values{Str(row[0]), Int(row[2]), Int(row[3]), Int(row[4]), Int(row[5]),
                                          Int(row[6]), Int(row[1])});
                        });
                        if (has_items) return;
                        if (!WithoutValues(doc)) {
                          throw FileRefused(Describe(doc) +
                                            " não tem itens: um documento normal precisa de "
                                            "ao menos um item para ter CFOP e valores.");
                        }
                        CheckDocument(g, doc, "");
                        put(Reg50Values{});
                      });
}

}  // namespace server
