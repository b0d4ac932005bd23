#include "server/rpc/state_file_types.h"

namespace server {

std::string StateRule(const FileRequest& r, const RegisterSelection& selected) {
  if (r.file_type == "SINTEGRA - MS") {
    // Decreto MS 9.991/2000, art. 4 § 7: one file per month, entries and
    // exits together.
    if (r.first_day.substr(0, 7) != r.last_day.substr(0, 7))
      return "O arquivo SINTEGRA - MS contém um só mês: gere um arquivo para cada mês do período.";
    // Manual de Orientação do MS, item 2.2.2: who reports printers (60),
    // consumer documents (61R) or the inventory (74) reports 54 and 75 too.
    if ((selected.r60 || selected.r61 || selected.r74) && !selected.r54) {
      return "No SINTEGRA - MS, quem informa os registros 60, 61 ou 74 informa também o registro 54 "
             "(e o 75): marque o 54.";
    }
  }
  return {};
}

}  // namespace server
