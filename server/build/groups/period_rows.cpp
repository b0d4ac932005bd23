// What the groups that read other tables than the notes share: the
// informant's rows of the period, and which files report only notes.
#include "server/build/register_groups.h"

namespace server {

std::vector<sql::Param> PeriodParams(const GroupContext& g) {
  return {{"EMP", g.request.company},
          {"IE", g.request.registration},
          {"INI", g.request.first_day},
          {"FIM", g.request.last_day}};
}

bool OnlyDocumentsOfOperations(const GroupContext& g) {
  return !g.request.substitute.empty() || g.request.purpose == '5';
}

// The chosen states as the documents' filter binds them (NULL for all).
std::optional<std::string> ChosenStates(const GroupContext& g) {
  for (const sql::Param& p : g.params)
    if (p.name == "UFS") return p.value;
  return std::nullopt;
}

std::string StatesFilter(const std::string& column) {
  return " AND (CAST(:UFS AS VARCHAR(200)) IS NULL OR INSTR(',' || :UFS || ',', ',' || " + column +
         " || ',') > 0)";
}

}  // namespace server
