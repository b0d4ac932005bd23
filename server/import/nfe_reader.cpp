// NF-e (model 55) and NFC-e (model 65), layout 4.00, in their nfeProc wrapper.
#include <algorithm>
#include <set>

#include "lib/layout/document_rules.h"
#include "lib/text/utf8.h"
#include "server/build/document_rows.h"
#include "server/import/dfe_rules.h"
#include "server/import/readers.h"
#include "server/import/xml_paths.h"

namespace server::import {
namespace {

// Where the difference between an item's accounted value and its ICMS base
// goes: exempt or not taxed (reduced base, ST collected before, exempt, not
// taxed) or "other" (deferred, suspended, ST already paid, IPI, the rest).
bool ExemptPart(const std::string& code) {
  static const std::set<std::string> kExempt = {"20", "30", "40", "41", "103", "203", "300", "400"};
  return kExempt.count(code) > 0;
}

// A service item (ISSQN, not ICMS) of a note that also sells goods: the
// magnetic file carries the goods only.
bool ServiceItem(const pugi::xml_node& det) {
  const pugi::xml_node imposto = xml::Child(det, "imposto");
  return xml::Child(imposto, "ISSQN") && !xml::Child(imposto, "ICMS");
}

ImportedItem ReadItem(const pugi::xml_node& det, char direction) {
  ImportedItem it;
  const std::string number = det.attribute("nItem").value();
  const std::string what = "o item " + number;
  if (const auto breach = layout::ItemNumberBreach(number)) throw ImportRefused(breach->words);
  it.number = std::stoi(number);
  try {
    const pugi::xml_node prod = xml::Child(det, "prod"), imposto = xml::Child(det, "imposto");
    it.product = xml::Text(prod, "cProd");
    if (it.product.size() > 14)
      throw ImportRefused("o código do produto '" + it.product + "' tem " +
                          std::to_string(it.product.size()) + " caracteres; o arquivo magnético comporta 14");
    it.description = ::text::utf8::Prefix(xml::Text(prod, "xProd"), 53);
    it.ncm = Bounded(xml::Text(prod, "NCM"), 8, true, "o NCM");
    it.unit = Bounded(xml::Text(prod, "uCom"), 6, false, "a unidade");
    it.cfop = OwnCfop(xml::Text(prod, "CFOP"), direction);
    it.quantity = xml::Value(prod, "qCom", 3);
    it.value = xml::Cents(prod, "vProd");
    it.discount = xml::Cents(prod, "vDesc");
    it.charges = xml::Cents(prod, "vFrete") + xml::Cents(prod, "vSeg") + xml::Cents(prod, "vOutro");
    const pugi::xml_node icms = xml::FirstElement(xml::Child(imposto, "ICMS"));
    if (!icms) throw ImportRefused("sem ICMS (item de serviço, do ISSQN): não entra no arquivo magnético");
    const std::string cst = xml::Optional(icms, "CST"), csosn = xml::Optional(icms, "CSOSN");
    const std::string origin = xml::Optional(icms, "orig");
    if (!cst.empty()) {
      it.cst = Bounded(origin.empty() ? "0" : origin, 1, true, "a origem") + Bounded(cst, 2, true, "o CST");
    } else if (!csosn.empty()) {
      it.cst = Bounded(csosn, 3, true, "o CSOSN");
    } else {
      throw ImportRefused("o grupo " + std::string(xml::LocalName(icms)) + " não tem CST nem CSOSN");
    }
    it.icms_base = xml::Cents(icms, "vBC");
    it.icms_rate = xml::Value(icms, "pICMS", 2);
    it.icms = xml::Cents(icms, "vICMS");
    it.reduction = xml::Value(icms, "pRedBC", 2);
    it.st_base = xml::Cents(icms, "vBCST");
    // The poverty fund's share of ST is ICMS collected with it.
    it.st = xml::Cents(icms, "vICMSST") + xml::Cents(icms, "vFCPST");
    const pugi::xml_node ipi = xml::Child(imposto, "IPI");
    it.ipi = xml::Cents(ipi, "IPITrib/vIPI");
    it.ipi_rate = xml::Value(ipi, "IPITrib/pIPI", 2);
    const std::int64_t accounted = it.value - it.discount + it.charges + it.ipi + it.st;
    const std::int64_t rest = std::max<std::int64_t>(0, accounted - it.icms_base);
    const std::string code = cst.empty() ? csosn : cst;
    (ExemptPart(code) ? it.exempt : it.other) = rest;
  } catch (const ImportRefused& e) {
    throw ImportRefused(what + ": " + e.what());
  }
  return it;
}

}  // namespace

ImportedDocument ReadNfe(const pugi::xml_node& proc, const Informant& informant) {
  const pugi::xml_node inf = xml::At(proc, "NFe/infNFe");
  if (!inf) throw ImportRefused("o nfeProc não tem NFe/infNFe");
  const std::string version = inf.attribute("versao").value();
  if (version != "4.00")
    throw ImportRefused("NF-e na versão de leiaute '" + version + "': só a versão 4.00 é importada");
  const pugi::xml_node protocol = xml::At(proc, "protNFe/infProt");
  if (!protocol) throw ImportRefused("a NF-e está sem o protocolo de autorização (protNFe)");
  ImportedDocument d;
  ReadAuthorisation(inf, protocol, "NFe", d);
  if (!d.cancellation) d.cancellation = AppendedCancellation(proc, d.key, "NFe");
  const pugi::xml_node ide = xml::Child(inf, "ide");
  d.model = xml::Text(ide, "mod");
  if (d.model != "55" && d.model != "65")
    throw ImportRefused("modelo " + d.model + ": só NF-e (55) e NFC-e (65) vêm num nfeProc");
  d.series = Bounded(xml::Text(ide, "serie"), 3, true, "a série");
  d.number = Bounded(xml::Text(ide, "nNF"), 9, true, "o número");
  const std::string type = xml::Text(ide, "tpNF");
  if (type != "0" && type != "1") throw ImportRefused("tpNF '" + type + "' não é 0 (entrada) nem 1 (saída)");

  const pugi::xml_node emit = xml::Child(inf, "emit"), dest = xml::Child(inf, "dest");
  const std::string issuer = Digits(xml::Optional(emit, "CNPJ") + xml::Optional(emit, "CPF"));
  const std::string recipient = Digits(xml::Optional(dest, "CNPJ") + xml::Optional(dest, "CPF"));
  const bool own = issuer == informant.cnpj;
  if (!own && (!dest || recipient != informant.cnpj))
    throw OfAnotherEstablishment(informant, issuer, "destinatário", recipient);
  if (own) {
    RequireRegistration(informant, xml::Optional(emit, "IE"), "emitente");
  } else {
    RequireRegistration(informant, xml::Optional(dest, "IE"), "destinatário");
  }
  // The issuer's exit is the recipient's entry, and its entry note (goods
  // coming back) the recipient's exit.
  d.direction = (type == "1") == own ? 'S' : 'E';
  d.issuer = own ? 'P' : 'T';
  // An entry counts from when the goods came in: the exit date the issuer
  // gave, or its emission.
  const std::string moved = xml::Optional(ide, "dhSaiEnt");
  d.date = xml::Date(d.direction == 'E' && !moved.empty() ? moved : xml::Text(ide, "dhEmi"), "ide/dhEmi");
  if (d.model == "65") {
    if (!own || d.direction != 'S')
      throw ImportRefused("a NFC-e é importada só pela empresa que a emitiu, como saída");
    d.table = DocumentTable::ConsumerNote;
  } else {
    if (own && !dest) throw ImportRefused("a NF-e não tem destinatário (dest)");
    const Party party =
        own ? ReadParty(dest, "enderDest", "o destinatário") : ReadParty(emit, "enderEmit", "o emitente");
    d.party_cnpj = party.cnpj;
    d.party_ie = party.ie;
    d.party_uf = party.uf;
  }
  std::set<std::string> numbers;
  std::int64_t service_discounts = 0;
  for (pugi::xml_node det = inf.first_child(); det; det = det.next_sibling()) {
    if (det.type() != pugi::node_element || xml::LocalName(det) != "det") continue;
    const std::string number = det.attribute("nItem").value();
    if (!numbers.insert(number).second) throw ImportRefused("o item " + number + " aparece duas vezes");
    if (ServiceItem(det)) {
      ++d.service_items;
      service_discounts += xml::Cents(xml::Child(det, "prod"), "vDesc");
      continue;
    }
    d.items.push_back(ReadItem(det, d.direction));
  }
  if (d.items.empty() && d.service_items > 0)
    throw ImportRefused("a nota só tem itens de serviço (ISSQN): não há mercadoria para o arquivo magnético");
  if (d.items.empty()) throw ImportRefused("a NF-e não tem itens (det)");

  const pugi::xml_node totals = xml::At(inf, "total/ICMSTot");
  d.freight = xml::Cents(totals, "vFrete");
  d.insurance = xml::Cents(totals, "vSeg");
  d.other_charges = xml::Cents(totals, "vOutro");
  // The file's total of a note is the sum of what it keeps of each item and
  // the charges: a note whose own total holds more (import tax, IPI given
  // back, relieved ICMS taken off) would be written with a wrong total.
  std::int64_t total = d.freight + d.insurance + d.other_charges;
  for (const ImportedItem& it : d.items) total += it.value - it.discount + it.ipi + it.st;
  const std::int64_t stated = xml::Cents(totals, "vNF");
  // The services' total is in the note's: the file keeps the goods only. The
  // discount of a service item is in it as the note gives it, or apart.
  const std::int64_t services = xml::Cents(xml::At(inf, "total/ISSQNtot"), "vServ");
  if (d.service_items > 0 && (total + services == stated || total + services - service_discounts == stated))
    total = stated;
  if (total != stated)
    throw ImportRefused("o total da nota (vNF " + std::to_string(stated) +
                        " centavos) difere da soma de produtos, descontos, IPI, ST, frete, seguro e outras "
                        "despesas (" +
                        std::to_string(total) +
                        " centavos): a nota tem valores (II, IPI devolvido, ICMS desonerado) que o arquivo "
                        "magnético não comporta");
  return d;
}

}  // namespace server::import
