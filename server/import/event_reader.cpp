// Events of NF-e, NFC-e and CT-e in their registered wrapper: a cancellation
// (110111) cancels the document of its key; other events leave the
// magnetic file as it is.
#include "server/build/document_rows.h"
#include "server/import/dfe_rules.h"
#include "server/import/readers.h"
#include "server/import/xml_paths.h"

namespace server::import {

DfeContent ReadEvent(const pugi::xml_node& proc, bool transport) {
  pugi::xml_node event = xml::At(proc, transport ? "eventoCTe/infEvento" : "evento/infEvento");
  if (!event) event = xml::At(proc, "evento/infEvento");
  pugi::xml_node registered = xml::At(proc, transport ? "retEventoCTe/infEvento" : "retEvento/infEvento");
  if (!registered) registered = xml::At(proc, "retEvento/infEvento");
  if (!event) throw ImportRefused("o evento não tem infEvento");
  const std::string type = xml::Text(event, "tpEvento");
  if (type != "110111") {
    const std::string name = xml::Optional(event, "detEvento/descEvento");
    return Ignored{"o evento " + type + (name.empty() ? "" : " (" + name + ")") +
                   " não muda o arquivo magnético; só o cancelamento (110111) é importado"};
  }
  RequireProduction(xml::Text(event, "tpAmb"), "o evento");
  if (!registered) throw ImportRefused("o cancelamento está sem o registro do fisco (retEvento)");
  const std::string status = xml::Text(registered, "cStat");
  if (status != "135" && status != "155")
    throw ImportRefused("o cancelamento não foi registrado (cStat " + status + " - " +
                        xml::Optional(registered, "xMotivo") + ")");
  Cancellation c;
  c.key = xml::Text(event, transport ? "chCTe" : "chNFe");
  if (c.key.size() != 44 || Digits(c.key) != c.key)
    throw ImportRefused("a chave de acesso '" + c.key + "' não tem 44 dígitos");
  c.date = xml::Date(xml::Text(event, "dhEvento"), "dhEvento");
  c.author_cnpj = Digits(xml::Optional(event, "CNPJ") + xml::Optional(event, "CPF"));
  c.protocol = xml::Optional(registered, "nProt");
  return c;
}

}  // namespace server::import
