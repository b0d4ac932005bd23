#include "server/import/dfe_rules.h"

#include <set>

#include "lib/layout/document_numbers.h"
#include "lib/layout/document_rules.h"
#include "server/build/document_rows.h"
#include "server/import/xml_paths.h"

namespace server::import {

Party ReadParty(const pugi::xml_node& group, const char* address, const std::string& what) {
  Party party;
  const std::string cnpj = xml::Optional(group, "CNPJ"), cpf = xml::Optional(group, "CPF");
  party.uf = xml::Optional(group, std::string(address) + "/UF");
  if (!cnpj.empty() && Digits(cnpj).find_first_not_of('0') != std::string::npos) {
    party.cnpj = Bounded(cnpj, 14, true, what + ": o CNPJ");
  } else if (!cpf.empty()) {
    party.cnpj = Bounded(cpf, 11, true, what + ": o CPF");
  } else if (xml::Child(group, "idEstrangeiro") || party.uf == "EX" || !cnpj.empty()) {
    // Abroad: no Brazilian number; the file carries zeros.
    party.cnpj = std::string(14, '0');
  } else {
    throw ImportRefused(what + " sem CNPJ nem CPF");
  }
  if (party.uf.size() != 2) throw ImportRefused(what + " sem UF de 2 letras (" + address + "/UF)");
  const std::string ie = xml::Optional(group, "IE");
  party.ie = ie.empty() || ie == "ISENTO" ? "ISENTO" : Bounded(Digits(ie), 14, true, what + ": a IE");
  return party;
}

void RequireProduction(const std::string& environment, const std::string& what) {
  if (environment != "1")
    throw ImportRefused(what + " é do ambiente de homologação (tpAmb " + environment +
                        "): não tem valor fiscal");
}

char SituationOfStatus(const std::string& status, const std::string& reason, const std::string& what) {
  if (status == "100" || status == "150") return 'N';
  if (status == "101" || status == "151") return 'S';
  if (status == "110" || status == "301" || status == "302" || status == "303") return '2';
  throw ImportRefused(what + " não foi autorizado (cStat " + status + (reason.empty() ? "" : " - " + reason) +
                      ")");
}

void ReadAuthorisation(const pugi::xml_node& inf, const pugi::xml_node& protocol, const std::string& prefix,
                       ImportedDocument& d) {
  const std::string id = inf.attribute("Id").value();
  d.key = id.rfind(prefix, 0) == 0 ? id.substr(prefix.size()) : std::string();
  if (d.key.size() != 44 || Digits(d.key) != d.key)
    throw ImportRefused("o Id '" + id + "' não é " + prefix + " seguido da chave de acesso de 44 dígitos");
  const std::string protocol_key = xml::Text(protocol, "ch" + prefix);
  if (protocol_key != d.key)
    throw ImportRefused("o protocolo (ch" + prefix + " " + protocol_key + ") é de outra chave, não da " +
                        d.key);
  RequireProduction(xml::Text(inf, "ide/tpAmb"), "o documento");
  RequireProduction(xml::Text(protocol, "tpAmb"), "o protocolo");
  d.situation =
      SituationOfStatus(xml::Text(protocol, "cStat"), xml::Optional(protocol, "xMotivo"), "o documento");
  // A protocol that says cancelled registers the cancellation too: an
  // authorised copy of the same document brought in later stays cancelled.
  if (d.situation == 'S')
    d.cancellation = CancellationOf(d.key, xml::Text(protocol, "dhRecbto"), xml::Optional(protocol, "nProt"));
}

Cancellation CancellationOf(const std::string& key, const std::string& when, const std::string& protocol) {
  if (key.size() != 44 || Digits(key) != key)
    throw ImportRefused("a chave de acesso '" + key + "' não tem 44 dígitos");
  // The key holds the issuer's CNPJ in its positions 7 to 20.
  return Cancellation{key, xml::Date(when, "a data do cancelamento"),
                      layout::CanonicalNumber(key.substr(6, 14)), protocol};
}

std::optional<Cancellation> AppendedCancellation(const pugi::xml_node& proc, const std::string& key,
                                                 const std::string& prefix) {
  for (pugi::xml_node child = proc.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view name = xml::LocalName(child);
    // The answer alone, or the whole registered event.
    pugi::xml_node answer;
    if (name == "retEvento" || name == "retEventoCTe") answer = xml::Child(child, "infEvento");
    if (name == "procEventoNFe" || name == "procEventoCTe") {
      answer = xml::At(child, "retEvento/infEvento");
      if (!answer) answer = xml::At(child, "retEventoCTe/infEvento");
    }
    if (!answer) continue;
    const std::string type = xml::Optional(answer, "tpEvento"), status = xml::Optional(answer, "cStat");
    if (type != "110111" && type != "110112") continue;
    if (xml::Optional(answer, "ch" + prefix) != key)
      throw ImportRefused("o cancelamento anexado ao documento é de outra chave (" +
                          xml::Optional(answer, "ch" + prefix) + ")");
    if (status != "135" && status != "155")
      throw ImportRefused("o cancelamento anexado ao documento não foi registrado (cStat " + status + " - " +
                          xml::Optional(answer, "xMotivo") + ")");
    RequireProduction(xml::Text(answer, "tpAmb"), "o cancelamento anexado");
    return CancellationOf(key, xml::Text(answer, "dhRegEvento"), xml::Optional(answer, "nProt"));
  }
  return std::nullopt;
}

std::string OwnCfop(const std::string& cfop, char direction) {
  if (const auto breach = layout::CfopBreach(cfop, "", "", direction == 'E'))
    throw ImportRefused(breach->words);
  std::string own = cfop;
  const bool entry_code = cfop[0] <= '3';
  if (direction == 'E' && !entry_code) own[0] = static_cast<char>(cfop[0] - 4);
  if (direction == 'S' && entry_code) own[0] = static_cast<char>(cfop[0] + 4);
  return own;
}

void RequireWritable(const ImportedDocument& d, const Informant& informant) {
  // A consumer's note names no party in the file.
  if (d.table == DocumentTable::ConsumerNote) return;
  const DocumentHead head{d.party_cnpj, d.party_ie, d.date,   d.party_uf,  d.model,
                          d.series,     d.number,   d.issuer, d.situation, d.direction};
  std::set<std::string> cfops;
  if (d.table == DocumentTable::TransportBill) cfops.insert(d.cfop);
  for (const ImportedItem& item : d.items) cfops.insert(item.cfop);
  if (cfops.empty()) cfops.insert("");
  for (const std::string& cfop : cfops) {
    if (const std::string problem = DocumentProblem(head, cfop, informant.uf); !problem.empty())
      throw ImportRefused(problem);
  }
}

bool SameRegistration(const std::string& registration, const std::string& ie) {
  return Digits(registration) == Digits(ie) && !Digits(ie).empty();
}

}  // namespace server::import

namespace server::import {

ImportRefused OfAnotherEstablishment(const Informant& informant, const std::string& issuer,
                                     const std::string& other_role, const std::string& other) {
  return ImportRefused("o documento não é da empresa " + informant.company + " (CNPJ " + informant.cnpj +
                       "): emitente " + (issuer.empty() ? "sem CNPJ" : issuer) + ", " + other_role + " " +
                       (other.empty() ? "sem CNPJ" : other));
}

void RequireRegistration(const Informant& informant, const std::string& ie, const std::string& role) {
  if (ie.empty() || ie == "ISENTO" || SameRegistration(informant.registration, ie)) return;
  throw ImportRefused("o documento é da inscrição estadual " + ie + " (" + role + "), não da " +
                      informant.registration);
}

std::string Bounded(const std::string& text, std::size_t size, bool digits, const std::string& what) {
  if (text.empty() || text.size() > size || (digits && Digits(text) != text))
    throw ImportRefused(what + " '" + text + "' não tem de 1 a " + std::to_string(size) +
                        (digits ? " dígitos" : " caracteres"));
  return text;
}

}  // namespace server::import
