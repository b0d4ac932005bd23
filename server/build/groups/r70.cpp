// Register 70: the transport documents, by date and number as written.
#include "lib/layout/document_rules.h"
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"
#include "server/build/register_models.h"

namespace server {

void Build70(const GroupContext& g) {
  // Only the informant's own rows; the book, the states and, for a file that
  // undoes operations, the documents of operations that did not take place.
  std::vector<sql::Param> params = PeriodParams(g);
  for (const sql::Param& p : g.params)
    if (p.name == "LIVRO" || p.name == "UFS" || p.name == "SOCANC") params.push_back(p);
  g.session.QueryEach(
      "SELECT c.NRCNPJPART, c.CDINSCPART, c.DTDOCUMENTO, c.SGESTADOPART, c.CDMODELO, c.CDSERIE, c.NRCONHEC,"
      " c.IDENTSAI, c.IDSITUACAO, c.CDSUBSERIE, c.CDCFOP, c.VRTOTAL, c.VRBASEICMS, c.VRICMS, c.VRISENTAS,"
      " c.VROUTRAS, c.IDFRETE FROM CONHECIMENTO c"
      " WHERE c.CDEMPRESA = :EMP AND c.CDINSCESTA = :IE AND c.DTDOCUMENTO BETWEEN :INI AND :FIM"
      " AND (CAST(:LIVRO AS VARCHAR(10)) IS NULL OR c.CDLIVROMAG = :LIVRO)" +
          StatesFilter("c.SGESTADOPART") +
          " AND (CAST(:SOCANC AS VARCHAR(1)) IS NULL OR c.IDSITUACAO IN ('S', 'X'))"
          " ORDER BY c.DTDOCUMENTO, CAST(c.NRCONHEC AS BIGINT) % 1000000, c.NRSEQCONHEC",
      params, [&](const sql::Row& row) {
        DocumentHead doc;
        doc.cnpj = Str(row[0]);
        doc.ie = Str(row[1]);
        doc.date = Str(row[2]);
        doc.uf = Str(row[3]);
        doc.model = Str(row[4]);
        doc.series = Str(row[5]);
        doc.number = Str(row[6]);
        doc.direction = Str(row[7]) == "E" ? 'E' : 'S';
        doc.situation = Str(row[8]).empty() ? ' ' : Str(row[8])[0];
        doc.issuer = doc.direction == 'S' ? 'P' : 'T';
        bool known = false;
        for (const auto& m : kModels70) known = known || m == doc.model;
        if (!known) throw FileRefused(Describe(doc) + ": o registro 70 não leva o modelo " + doc.model + ".");
        const std::string freight = Str(row[16]);
        if (!layout::ValidFreight(freight))
          throw FileRefused(Describe(doc) + ": o frete '" + freight +
                            "' não é 1 (CIF), 2 (FOB) ou 0 (outros).");
        Reg70Values v{Str(row[9]),  Str(row[10]), Int(row[11]), Int(row[12]),
                      Int(row[13]), Int(row[14]), Int(row[15]), freight[0]};
        if (const std::string problem = DocumentProblem(doc, v.cfop, g.informant.uf); !problem.empty())
          throw FileRefused(Describe(doc) + ": " + problem + ".");
        if (WithoutValues(doc)) v = Reg70Values{v.subseries, v.cfop, 0, 0, 0, 0, 0, v.freight};
        g.put(LineOf(doc, "70", [&] { return g.lines.R70(doc, v); }));
      });
}

}  // namespace server
