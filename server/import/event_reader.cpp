// Events of NF-e, NFC-e and CT-e in their registered wrapper: a cancellation
// (110111, or the NFC-e's cancellation by substitution, 110112) cancels the
// document of its key; other events leave the magnetic file as it is. The
// older cancellation wrappers (procCancNFe, procCancCTe) cancel it too.
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
  // The NFC-e's cancellation by substitution (110112) cancels it as 110111 does.
  if (type != "110111" && (transport || type != "110112")) {
    const std::string name = xml::Optional(event, "detEvento/descEvento");
    return Ignored{
        "o evento " + type + (name.empty() ? "" : " (" + name + ")") +
        " não muda o arquivo magnético; só o cancelamento (110111, e 110112 da NFC-e) é importado"};
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

DfeContent ReadOldCancellation(const pugi::xml_node& proc, bool transport) {
  const std::string prefix = transport ? "CTe" : "NFe";
  const pugi::xml_node request = xml::At(proc, "canc" + prefix + "/infCanc");
  const pugi::xml_node answer = xml::At(proc, "retCanc" + prefix + "/infCanc");
  if (!request) throw ImportRefused("o cancelamento não tem canc" + prefix + "/infCanc");
  if (!answer) throw ImportRefused("o cancelamento está sem a resposta do fisco (retCanc" + prefix + ")");
  RequireProduction(xml::Text(request, "tpAmb"), "o cancelamento");
  RequireProduction(xml::Text(answer, "tpAmb"), "a resposta do cancelamento");
  const std::string status = xml::Text(answer, "cStat");
  if (status != "101" && status != "151")
    throw ImportRefused("o cancelamento não foi homologado (cStat " + status + " - " +
                        xml::Optional(answer, "xMotivo") + ")");
  const std::string key = xml::Text(answer, "ch" + prefix);
  if (xml::Text(request, "ch" + prefix) != key)
    throw ImportRefused("o pedido de cancelamento e a resposta do fisco são de chaves diferentes");
  return CancellationOf(key, xml::Text(answer, "dhRecbto"), xml::Optional(answer, "nProt"));
}

}  // namespace server::import
