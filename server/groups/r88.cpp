// Register 88 for a period without movement: "SME" (no entries) and "SMS"
// (no exits). They go only in a file that has nothing else to report, so
// both are written when the period has neither entries nor exits, and none
// otherwise.
#include "server/register_groups.h"

namespace server {

void Build88WithoutMovement(const GroupContext& g) {
  if (g.request.purpose == '5') return;
  const char* const movement[] = {
      "SELECT 1 FROM NOTAFISCAL WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND DTDOCUMENTO BETWEEN :INI AND "
      ":FIM",
      "SELECT 1 FROM CONHECIMENTO WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE"
      " AND DTDOCUMENTO BETWEEN :INI AND :FIM",
      "SELECT 1 FROM NOTACONSUMIDOR WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND DTEMISSAO BETWEEN :INI "
      "AND :FIM",
      "SELECT 1 FROM ECFREDUCAOZ WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND DTMOVIMENTO BETWEEN :INI "
      "AND :FIM",
  };
  for (const char* query : movement)
    if (!g.session.Query(std::string(query) + " LIMIT 1", PeriodParams(g)).rows.empty()) return;
  g.put(g.lines.R88WithoutMovement(g.informant, true));
  g.put(g.lines.R88WithoutMovement(g.informant, false));
}

}  // namespace server
