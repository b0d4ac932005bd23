#include "server/build/document_rows.h"

#include "lib/layout/document_numbers.h"

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
// CFOPs (empty when nothing): the party's CNPJ or CPF with its check digits
// (zeros for a foreign party), and a CFOP whose first digit agrees with the
// direction and with where the party is: 1/5 in the informant's state, 2/6
// in another state, 3/7 abroad.
std::string DocumentProblem(const DocumentHead& d, const std::string& cfop, const std::string& home) {
  const std::string party = Digits(d.cnpj);
  if (d.uf == "EX") {
    if (party.find_first_not_of('0') != std::string::npos)
      return "uma parte do exterior (UF EX) leva CNPJ em zeros, não " + d.cnpj;
  } else if (!layout::ValidCnpjOrCpf(party)) {
    return "o CNPJ/CPF da outra parte, '" + d.cnpj + "', não é válido (tamanho ou dígitos verificadores)";
  }
  if (cfop.empty() && WithoutValues(d)) return {};
  if (cfop.size() != 4 || Digits(cfop) != cfop) return "o CFOP '" + cfop + "' não tem 4 dígitos";
  const bool entry = d.direction == 'E';
  const bool abroad = d.uf == "EX";
  const bool inside = d.uf == home;
  const char expected = abroad ? (entry ? '3' : '7') : inside ? (entry ? '1' : '5') : (entry ? '2' : '6');
  if (cfop[0] == expected) return {};
  return "o CFOP " + cfop + " não condiz com " + (entry ? "uma entrada " : "uma saída ") +
         (abroad   ? "do exterior"
          : inside ? "dentro do estado"
                   : "com outro estado (" + d.uf + ")") +
         ": deve começar por " + expected;
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
// The party's CNPJ or CPF as written: zero-filled to 14 digits.
const char* const kPartyKey = "SUBSTR('00000000000000' || n.NRCNPJPART, LENGTH(n.NRCNPJPART) + 1)";

}  // namespace server
