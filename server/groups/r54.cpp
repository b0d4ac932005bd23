// Register 54: the items of a document, then its freight, insurance and other charges.
#include "server/document_rows.h"
#include "server/register_groups.h"
#include "server/register_models.h"

namespace server {

void Build54(const GroupContext& g) {
  struct Pending {
    std::int64_t document = -1;
    DocumentHead head;
    std::string cfop;
    std::int64_t freight = 0, insurance = 0, other = 0;
  } pending;
  // Freight (991), insurance (992) and other charges (999) follow the items
  // of their document.
  const auto close_document = [&] {
    if (pending.document < 0 || WithoutValues(pending.head)) return;
    const std::pair<const char*, std::int64_t> charges[] = {
        {"991", pending.freight}, {"992", pending.insurance}, {"999", pending.other}};
    for (const auto& [item, amount] : charges) {
      if (amount <= 0) continue;
      Reg54Values v;
      v.cfop = pending.cfop;
      v.item = item;
      v.discount = amount;
      g.put(LineOf(pending.head, "54", [&] { return g.lines.R54(pending.head, v); }));
    }
  };
  g.session.QueryEach(
      std::string("SELECT ") + kDocumentColumns +
          ", i.CDCFOP, i.CDCST, i.NRITEM, i.CDPRODUTO, i.QTITEM, i.VRPRODUTO, i.VRDESCONTO, i.VRBASEICMS,"
          " i.VRBASEST, i.VRIPI, i.VRALIQICMS, n.VRFRETE, n.VRSEGURO, n.VRDESPESAS"
          " FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" +
          g.where + " AND n.CDMODELO IN " + SqlList(kModels54) + " ORDER BY " + kPartyKey + ", n.CDSERIE, " +
          kNumberKey + ", n.NRSEQNOTA, i.NRITEM",
      g.params, [&](const sql::Row& row) {
        const std::size_t c = kDocumentColumnCount;
        if (Int(row[0]) != pending.document) {
          close_document();
          pending = Pending{Int(row[0]),      Head(row),        Str(row[c]),
                            Int(row[c + 11]), Int(row[c + 12]), Int(row[c + 13])};
        }
        Reg54Values v{Str(row[c]),     Str(row[c + 1]), Str(row[c + 2]), Str(row[c + 3]),
                      Int(row[c + 4]), Int(row[c + 5]), Int(row[c + 6]), Int(row[c + 7]),
                      Int(row[c + 8]), Int(row[c + 9]), Int(row[c + 10])};
        CheckDocument(g, pending.head, Str(row[c]));
        // Items are 001 to 990: the numbers above belong to the charges.
        const std::int64_t item = Int(row[c + 2]);
        if (item < 1 || item > 990 || Str(row[c + 2]).find_first_not_of("0123456789") != std::string::npos) {
          throw FileRefused(
              Describe(pending.head) + " tem o item número " + Str(row[c + 2]) +
              ": os itens vão de 001 a 990 (991, 992 e 999 são frete, seguro e outras despesas).");
        }
        if (WithoutValues(pending.head))
          v = Reg54Values{v.cfop, v.cst, v.item, v.product, 0, 0, 0, 0, 0, 0, 0};
        g.put(LineOf(pending.head, "54", [&] { return g.lines.R54(pending.head, v); }));
      });
  close_document();
}

}  // namespace server
