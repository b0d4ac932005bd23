// Register 88 for a period without movement: "SME" when the establishment
// had no entries in it, "SMS" when it had no exits; each beside whatever the
// file reports of the other side.
#include "server/build/register_groups.h"

namespace server {
namespace {

bool Any(const GroupContext& g, const std::vector<std::string>& queries) {
  for (const std::string& query : queries)
    if (!g.session.Query(query + " LIMIT 1", PeriodParams(g)).rows.empty()) return true;
  return false;
}

const std::string kOwn = " WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND ";

}  // namespace

void Build88WithoutMovement(const GroupContext& g) {
  if (g.request.purpose == '5') return;
  const bool entries =
      Any(g, {"SELECT 1 FROM NOTAFISCAL" + kOwn + "IDENTSAI = 'E' AND DTDOCUMENTO BETWEEN :INI AND :FIM",
              "SELECT 1 FROM CONHECIMENTO" + kOwn + "IDENTSAI = 'E' AND DTDOCUMENTO BETWEEN :INI AND :FIM"});
  const bool exits =
      Any(g, {"SELECT 1 FROM NOTAFISCAL" + kOwn + "IDENTSAI = 'S' AND DTDOCUMENTO BETWEEN :INI AND :FIM",
              "SELECT 1 FROM CONHECIMENTO" + kOwn + "IDENTSAI = 'S' AND DTDOCUMENTO BETWEEN :INI AND :FIM",
              "SELECT 1 FROM NOTACONSUMIDOR" + kOwn + "DTEMISSAO BETWEEN :INI AND :FIM",
              "SELECT 1 FROM ECFREDUCAOZ" + kOwn + "DTMOVIMENTO BETWEEN :INI AND :FIM"});
  if (!entries) g.put(g.lines.R88WithoutMovement(g.informant, true));
  if (!exits) g.put(g.lines.R88WithoutMovement(g.informant, false));
}

}  // namespace server
