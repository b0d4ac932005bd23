#pragma once
// What the register groups share about the fiscal documents they read: the
// columns of a document, its head, how a document is named in a refusal,
// and what the validators would refuse in it.
#include <cstdint>
#include <optional>
#include <string>

#include "lib/sql/session.h"
#include "server/build/field_format.h"
#include "server/build/file_request.h"
#include "server/build/register_lines.h"

namespace server {

std::int64_t Int(const std::optional<std::string>& v);
std::string Str(const std::optional<std::string>& v);
// The digits of a text, in order.
std::string Digits(const std::string& s);

// The columns of a document head at the start of a group's row, as Head reads them.
extern const char* const kDocumentColumns;
extern const char* const kDocumentGroup;
inline constexpr std::size_t kDocumentColumnCount = 12;
// The column of the document's freight, insurance and other charges summed.
inline constexpr std::size_t kDocumentChargesColumn = 10;
DocumentHead Head(const sql::Row& row);

// A number that was never used for a document of value: cancelled, denied or
// voided numbers carry no items and no values.
bool WithoutValues(const DocumentHead& d);
// "Documento modelo 55 série 1 número 123 de 2026-01-05 (CNPJ/CPF …)".
std::string Describe(const DocumentHead& d);

// Builds one line of a document; a value that does not fit its field refuses
// the file, naming the document, the register and the field.
template <typename F>
std::string LineOf(const DocumentHead& d, const char* register_type, F&& build) {
  try {
    return build();
  } catch (const FieldOverflow& e) {
    throw FileRefused(Describe(d) + ": no registro " + register_type + ", " + e.what() + ".");
  }
}

// What the validators would refuse in a document's party or in one of its
// CFOPs, empty when nothing; `home` is the informant's state.
std::string DocumentProblem(const DocumentHead& d, const std::string& cfop, const std::string& home);

// The order of the document numbers as written: the last six digits.
extern const char* const kNumberKey;
// The order of 50, 51 and 53: the date, then the number as written.
extern const std::string kDocumentOrder;

// The freight, insurance and other charges of a document go into the first
// of its lines. Reads the rows of a group in document order; gives the
// charges on a document's first row and 0 on the others.
class FirstLineCharges {
 public:
  std::int64_t operator()(const sql::Row& row);

 private:
  std::int64_t last_document_ = -1;
};
// The party's CNPJ or CPF as written: zero-filled to 14 digits.
extern const char* const kPartyKey;

}  // namespace server
