#include "server/build/document_rows.h"

#include "lib/layout/document_rules.h"

namespace server {
namespace {

bool Cancelled(const DocumentHead& d) { return d.situation == 'S' || d.situation == 'X'; }

}  // namespace

std::string Digits(const std::string& s) {
  std::string digits;
  for (char c : s) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

std::int64_t Int(const std::optional<std::string>& v) { return v && !v->empty() ? std::stoll(*v) : 0; }
std::string Str(const std::optional<std::string>& v) { return v.value_or(std::string()); }

const char* const kDocumentColumns =
    "n.NRSEQNOTA, n.NRCNPJPART, n.CDINSCPART, n.DTDOCUMENTO, n.SGESTADOPART, n.CDMODELO, n.CDSERIE, n.NRNOTA,"
    " n.IDEMITENTE, n.IDSITUACAO, n.VRFRETE + n.VRSEGURO + n.VRDESPESAS, n.IDENTSAI";
const char* const kDocumentGroup =
    "n.NRSEQNOTA, n.NRCNPJPART, n.CDINSCPART, n.DTDOCUMENTO, n.SGESTADOPART, n.CDMODELO, n.CDSERIE, n.NRNOTA,"
    " n.IDEMITENTE, n.IDSITUACAO, n.VRFRETE, n.VRSEGURO, n.VRDESPESAS, n.IDENTSAI";

DocumentHead Head(const sql::Row& row) {
  DocumentHead d;
  d.cnpj = Str(row[1]);
  d.ie = Str(row[2]);
  d.date = Str(row[3]);
  d.uf = Str(row[4]);
  d.model = Str(row[5]);
  d.series = Str(row[6]);
  d.number = Str(row[7]);
  d.issuer = Str(row[8]).empty() ? 'P' : Str(row[8])[0];
  d.situation = Str(row[9]).empty() ? 'N' : Str(row[9])[0];
  d.direction = Str(row[11]) == "E" ? 'E' : 'S';
  return d;
}

bool WithoutValues(const DocumentHead& d) { return Cancelled(d) || d.situation == '2' || d.situation == '4'; }

std::string Describe(const DocumentHead& d) {
  return "Documento modelo " + d.model + " série " + (d.series.empty() ? "(sem série)" : d.series) +
         " número " + d.number + " de " + d.date + " (CNPJ/CPF " + d.cnpj + ")";
}

// What the validators would refuse in a document's party or in one of its
// CFOPs (empty when nothing), by the rules the checker and the import apply.
std::string DocumentProblem(const DocumentHead& d, const std::string& cfop, const std::string& home) {
  layout::DocumentParty party{d.cnpj, d.ie, d.uf, home, cfop, d.direction == 'E', d.situation, d.issuer};
  // A number never used for a document of value has no CFOP to check.
  if (cfop.empty() && WithoutValues(d)) party.cfop = std::nullopt;
  const auto error = layout::FirstError(layout::DocumentBreaches(party));
  return error ? error->words : std::string();
}

// The order of the document numbers as written: the last six digits.
const char* const kNumberKey = "CAST(n.NRNOTA AS BIGINT) % 1000000";
const std::string kDocumentOrder = std::string("n.DTDOCUMENTO, ") + kNumberKey + ", n.NRSEQNOTA";

std::int64_t FirstLineCharges::operator()(const sql::Row& row) {
  const std::int64_t document = Int(row[0]);
  if (document == last_document_) return 0;
  last_document_ = document;
  return Int(row[kDocumentChargesColumn]);
}
// The party's CNPJ or CPF as written: its digits, without the punctuation
// a typed number may keep, zero-filled to 14.
#define MAG_PARTY_DIGITS \
  "REPLACE(REPLACE(REPLACE(REPLACE(n.NRCNPJPART, '.', ''), '-', ''), '/', ''), ' ', '')"
const char* const kPartyKey =
    "SUBSTR('00000000000000' || " MAG_PARTY_DIGITS ", LENGTH(" MAG_PARTY_DIGITS ") + 1)";
#undef MAG_PARTY_DIGITS

}  // namespace server
