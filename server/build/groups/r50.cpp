// Register 50: one line per document, CFOP and rate.
#include <algorithm>
#include <tuple>

#include "server/build/document_items.h"
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"
#include "server/build/register_models.h"

namespace server {

void Build50(const GroupContext& g) {
  // The documents in file order, and for each its items, summed here by
  // CFOP and rate, instead of one statement that groups and sorts every
  // item row of the period.
  DocumentsWithItems documents(
      g.session,
      "CDCFOP, VRALIQICMS, VRPRODUTO - VRDESCONTO + VRIPI + VRICMSST, VRBASEICMS, VRICMS,"
      " VRISENTAS, VROUTRAS");
  std::vector<Reg50Values> sums;
  // Every document of the period, with items or without: a cancelled or
  // voided number still has its line.
  documents.Read(
      std::string("SELECT ") + kDocumentColumns + " FROM NOTAFISCAL n" + g.where + " AND n.CDMODELO IN " +
          SqlList(kModels50) + " ORDER BY " + kDocumentOrder,
      g.params, [&](const sql::Row& head, std::span<const sql::Row> items) {
        const DocumentHead doc = Head(head);
        // The document's freight, insurance and other charges go into the
        // total of its first line.
        std::int64_t charges = Int(head[kDocumentChargesColumn]);
        const auto put = [&](Reg50Values v) {
          v.total += charges;
          charges = 0;
          if (WithoutValues(doc)) v = Reg50Values{v.cfop, 0, 0, 0, 0, 0, v.rate};
          g.put(LineOf(doc, "50", [&] { return g.lines.R50(doc, v); }));
        };
        sums.clear();
        for (const sql::Row& row : items) {
          const std::string& cfop = row[0] ? *row[0] : std::string();
          const std::int64_t rate = Int(row[1]);
          auto sum = std::find_if(sums.begin(), sums.end(),
                                  [&](const Reg50Values& v) { return v.cfop == cfop && v.rate == rate; });
          if (sum == sums.end()) {
            CheckDocument(g, doc, cfop);
            sum = sums.insert(sums.end(), Reg50Values{cfop, 0, 0, 0, 0, 0, rate});
          }
          sum->total += Int(row[2]);
          sum->icms_base += Int(row[3]);
          sum->icms += Int(row[4]);
          sum->exempt += Int(row[5]);
          sum->other += Int(row[6]);
        }
        // In the order of CFOP (as text), then rate.
        std::sort(sums.begin(), sums.end(), [](const Reg50Values& a, const Reg50Values& b) {
          return std::tie(a.cfop, a.rate) < std::tie(b.cfop, b.rate);
        });
        for (const Reg50Values& v : sums) put(v);
        if (!sums.empty()) return;
        if (!WithoutValues(doc)) {
          throw FileRefused(Describe(doc) +
                            " não tem itens: um documento normal precisa de ao menos um item para ter CFOP e "
                            "valores.");
        }
        CheckDocument(g, doc, "");
        put(Reg50Values{});
      });
}

}  // namespace server
