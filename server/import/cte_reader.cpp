// CT-e (model 57), layouts 3.00 and 4.00, in their cteProc wrapper.
#include <algorithm>

#include "server/build/document_rows.h"
#include "server/import/dfe_rules.h"
#include "server/import/readers.h"
#include "server/import/xml_paths.h"

namespace server::import {
namespace {

// The group that pays the service: 0 sender, 1 shipper, 2 receiver, 3
// recipient (their own groups), 4 another party (toma4 itself).
struct Payer {
  pugi::xml_node group;
  const char* address;
  std::string code;
};

Payer PayerOf(const pugi::xml_node& inf) {
  const pugi::xml_node ide = xml::Child(inf, "ide");
  if (const pugi::xml_node third = xml::Child(ide, "toma4")) return {third, "enderToma", "4"};
  const std::string code = xml::Text(ide, "toma3/toma");
  static const char* const kGroups[][2] = {
      {"rem", "enderReme"}, {"exped", "enderExped"}, {"receb", "enderReceb"}, {"dest", "enderDest"}};
  if (code.size() != 1 || code[0] < '0' || code[0] > '3')
    throw ImportRefused("toma3/toma '" + code + "' não é 0, 1, 2 ou 3");
  const auto& [group, address] = kGroups[code[0] - '0'];
  const pugi::xml_node node = xml::Child(inf, group);
  if (!node) throw ImportRefused("o tomador (toma " + code + ") aponta o grupo " + group + ", que falta");
  return {node, address, code};
}

}  // namespace

ImportedDocument ReadCte(const pugi::xml_node& proc, const Informant& informant) {
  const pugi::xml_node inf = xml::At(proc, "CTe/infCte");
  if (!inf) throw ImportRefused("o cteProc não tem CTe/infCte");
  const std::string version = inf.attribute("versao").value();
  if (version != "3.00" && version != "4.00")
    throw ImportRefused("CT-e na versão de leiaute '" + version +
                        "': só as versões 3.00 e 4.00 são importadas");
  const pugi::xml_node protocol = xml::At(proc, "protCTe/infProt");
  if (!protocol) throw ImportRefused("o CT-e está sem o protocolo de autorização (protCTe)");
  ImportedDocument d;
  d.table = DocumentTable::TransportBill;
  ReadAuthorisation(inf, protocol, "CTe", d);
  if (!d.cancellation) d.cancellation = AppendedCancellation(proc, d.key, "CTe");
  const pugi::xml_node ide = xml::Child(inf, "ide");
  d.model = xml::Text(ide, "mod");
  if (d.model != "57") throw ImportRefused("modelo " + d.model + ": um cteProc traz o CT-e, modelo 57");
  d.series = Bounded(xml::Text(ide, "serie"), 3, true, "a série");
  // The transport register keeps a series of one position.
  if (d.series.size() > 1)
    throw ImportRefused("a série " + d.series + " do CT-e não cabe na série de uma posição do registro 70");
  d.number = Bounded(xml::Text(ide, "nCT"), 9, true, "o número");
  d.date = xml::Date(xml::Text(ide, "dhEmi"), "ide/dhEmi");

  const pugi::xml_node emit = xml::Child(inf, "emit");
  const std::string issuer = Digits(xml::Optional(emit, "CNPJ") + xml::Optional(emit, "CPF"));
  const Payer payer = PayerOf(inf);
  const std::string paying = Digits(xml::Optional(payer.group, "CNPJ") + xml::Optional(payer.group, "CPF"));
  const bool own = issuer == informant.cnpj;
  if (!own && paying != informant.cnpj) throw OfAnotherEstablishment(informant, issuer, "tomador", paying);
  if (own) {
    RequireRegistration(informant, xml::Optional(emit, "IE"), "emitente");
  } else {
    RequireRegistration(informant, xml::Optional(payer.group, "IE"), "tomador");
  }
  // The carrier reports the service it provided to the payer; the payer the
  // service it took from the carrier.
  d.direction = own ? 'S' : 'E';
  d.issuer = own ? 'P' : 'T';
  const Party party =
      own ? ReadParty(payer.group, payer.address, "o tomador") : ReadParty(emit, "enderEmit", "o emitente");
  d.party_cnpj = party.cnpj;
  d.party_ie = party.ie;
  d.party_uf = party.uf;
  d.cfop = OwnCfop(xml::Text(ide, "CFOP"), d.direction);
  // Paid by the sender: CIF; by the recipient: FOB; by anyone else: others.
  d.freight_code = payer.code == "0" ? '1' : payer.code == "3" ? '2' : '0';

  d.total = xml::Cents(inf, "vPrest/vTPrest");
  const pugi::xml_node icms = xml::FirstElement(xml::At(inf, "imp/ICMS"));
  if (!icms) throw ImportRefused("o CT-e não tem o grupo imp/ICMS");
  const std::string group(xml::LocalName(icms));
  const std::string cst = Bounded(xml::Text(icms, "CST"), 2, true, "o CST");
  // ICMS due to another state (ICMSOutraUF) is not this state's base.
  if (group == "ICMS00" || group == "ICMS20" || group == "ICMS90") {
    d.icms_base = xml::Cents(icms, "vBC");
    d.icms = xml::Cents(icms, "vICMS");
  }
  const std::int64_t rest = std::max<std::int64_t>(0, d.total - d.icms_base);
  (cst == "20" || cst == "40" || cst == "41" ? d.exempt : d.other) = rest;
  return d;
}

}  // namespace server::import
