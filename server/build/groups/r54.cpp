// Register 54: the items of a document, then its freight, insurance and other charges.
#include "lib/layout/document_rules.h"
#include "server/build/document_items.h"
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"
#include "server/build/register_models.h"

namespace server {

void Build54(const GroupContext& g) {
  // The documents in file order, and for each its items by number, instead
  // of one statement that sorts every item row of the period.
  DocumentsWithItems documents(
      g.session,
      "CDCFOP, CDCST, NRITEM, CDPRODUTO, QTITEM, VRPRODUTO, VRDESCONTO, VRBASEICMS, VRBASEST, VRIPI,"
      " VRALIQICMS");
  documents.Read(
      std::string("SELECT ") + kDocumentColumns + ", n.VRFRETE, n.VRSEGURO, n.VRDESPESAS FROM NOTAFISCAL n" +
          g.where + " AND n.CDMODELO IN " + SqlList(kModels54) + " ORDER BY " + kPartyKey + ", n.CDSERIE, " +
          kNumberKey + ", n.NRSEQNOTA",
      g.params, [&](const sql::Row& head, std::span<const sql::Row> items) {
        const DocumentHead doc = Head(head);
        // The items of a document mostly share one CFOP: it is checked once.
        std::string first_cfop, checked_cfop;
        bool has_items = false;
        for (const sql::Row& row : items) {
          if (!has_items || row[0] != checked_cfop) {
            CheckDocument(g, doc, Str(row[0]));
            checked_cfop = Str(row[0]);
          }
          if (!has_items) first_cfop = checked_cfop;
          has_items = true;
          // Items are 001 to 990: the numbers above belong to the charges.
          if (const auto breach = layout::ItemNumberBreach(Str(row[2])))
            throw FileRefused(Describe(doc) + ": " + breach->words + ".");
          if (const auto breach = layout::CstBreach(Str(row[1])))
            throw FileRefused(Describe(doc) + ", item " + Str(row[2]) + ": " + breach->words + ".");
          Reg54Values v{Str(row[0]), Str(row[1]), Str(row[2]), Str(row[3]), Int(row[4]), Int(row[5]),
                        Int(row[6]), Int(row[7]), Int(row[8]), Int(row[9]), Int(row[10])};
          if (WithoutValues(doc)) v = Reg54Values{v.cfop, v.cst, v.item, v.product, 0, 0, 0, 0, 0, 0, 0};
          g.put(LineOf(doc, "54", [&] { return g.lines.R54(doc, v); }));
        }
        // Freight (991), insurance (992) and other charges (999) follow the
        // items of their document.
        if (!has_items || WithoutValues(doc)) return;
        const std::size_t c = kDocumentColumnCount;
        const std::pair<const char*, std::int64_t> charges[] = {
            {"991", Int(head[c])}, {"992", Int(head[c + 1])}, {"999", Int(head[c + 2])}};
        for (const auto& [item, amount] : charges) {
          if (amount <= 0) continue;
          Reg54Values v;
          v.cfop = first_cfop;
          v.item = item;
          v.discount = amount;
          g.put(LineOf(doc, "54", [&] { return g.lines.R54(doc, v); }));
        }
      });
}

}  // namespace server
