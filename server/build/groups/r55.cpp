// Register 55: the GNRE the informant paid as substitute, by payment date.
#include "lib/layout/document_rules.h"
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"

namespace server {

void Build55(const GroupContext& g) {
  // A file that undoes operations holds only their documents.
  if (g.request.purpose == '5') return;
  std::vector<sql::Param> params = PeriodParams(g);
  params.push_back({"UFS", ChosenStates(g)});
  g.session.QueryEach(
      "SELECT CDINSCSUBST, DTPAGAMENTO, SGESTADOFAV, CDBANCO, CDAGENCIA, NRGNRE, VRGNRE, DTVENCIMENTO,"
      " NRANOMESREF, DSCONVENIO, NRSEQGNRE FROM GNRE"
      " WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND DTPAGAMENTO BETWEEN :INI AND :FIM" +
          StatesFilter("SGESTADOFAV") + " ORDER BY DTPAGAMENTO, NRSEQGNRE",
      params, [&](const sql::Row& row) {
        const Reg55Values v{Str(row[0]), Str(row[1]), Str(row[2]), Str(row[3]), Str(row[4]),
                            Str(row[5]), Str(row[7]), Str(row[8]), Str(row[9]), Int(row[6])};
        const std::string gnre = "A GNRE " + v.number + " de " + v.payment_date;
        if (v.reference.size() != 6 || Digits(v.reference) != v.reference || v.reference.substr(4) < "01" ||
            v.reference.substr(4) > "12") {
          throw FileRefused(gnre + " tem o mês de referência '" + v.reference + "' (AAAAMM).");
        }
        // The registration the favoured state gave the substitute.
        if (!layout::KnownState(v.favoured_uf, false))
          throw FileRefused(gnre + " tem a UF favorecida '" + v.favoured_uf + "', que não é um estado.");
        if (const auto breach =
                layout::InformantIeBreach(layout::WrittenStateRegistration(v.substitute_ie), v.favoured_uf))
          throw FileRefused(gnre + ": " + breach->words + ".");
        try {
          g.put(g.lines.R55(g.informant, v));
        } catch (const FieldOverflow& e) {
          throw FileRefused(gnre + ": no registro 55, " + e.what() + ".");
        }
      });
}

}  // namespace server
