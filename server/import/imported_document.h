#pragma once
// What an electronic document becomes once read, in the terms of the fiscal
// tables: money in cents, quantities in thousandths, rates in hundredths of a
// percent, dates as AAAA-MM-DD, seen from the informant's side (direction,
// issuer, the other party, CFOPs of its own direction).
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace server::import {

// A file that cannot be brought in, with the reason in the user's words.
class ImportRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The establishment the documents are brought in for.
struct Informant {
  std::string company;       // CDEMPRESA
  std::string registration;  // CDINSCESTA
  std::string cnpj;          // digits
  std::string uf;
  std::string book;  // CDLIVROMAG given to the documents, empty for none
};

struct ImportedItem {
  int number = 0;
  std::string product, description, ncm, unit, cfop, cst;
  std::int64_t quantity = 0, value = 0, discount = 0, charges = 0;  // charges: its freight, insurance, other
  std::int64_t icms_base = 0, icms_rate = 0, icms = 0, exempt = 0, other = 0;
  std::int64_t st_base = 0, st = 0, ipi = 0, ipi_rate = 0, reduction = 0;
};

enum class DocumentTable { Note, ConsumerNote, TransportBill };

// A cancellation registered by the tax authority for an access key.
struct Cancellation {
  std::string key, date, author_cnpj, protocol;
};

struct ImportedDocument {
  DocumentTable table = DocumentTable::Note;
  std::string key, model, series, number, date;
  char situation = 'N';  // N authorised, 2 denied
  char direction = 'S';  // E entry, S exit
  char issuer = 'P';     // P the informant, T a third party
  std::string party_cnpj, party_ie, party_uf;
  // Notes: the charges of the whole document.
  std::int64_t freight = 0, insurance = 0, other_charges = 0;
  // Transport bills: their one CFOP, values and freight code (1 CIF, 2 FOB, 0 others).
  std::string cfop;
  std::int64_t total = 0, icms_base = 0, icms = 0, exempt = 0, other = 0;
  char freight_code = '0';
  std::vector<ImportedItem> items;
  // Notes: the service items (ISSQN) left out, which the file does not carry.
  int service_items = 0;
  // The document's own cancellation, when the file brings it: a protocol
  // that says cancelled, or the cancellation's answer appended to it.
  std::optional<Cancellation> cancellation;
};

}  // namespace server::import
