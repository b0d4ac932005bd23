#pragma once
// Field formatting of the magnetic file: numeric fields right-aligned and
// zero-filled, alphanumeric fields left-aligned and blank-filled, text as
// plain ASCII (accents removed) or as ISO-8859-1 bytes.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace server {

enum class TextEncoding { Ascii, Latin1 };

// A value that does not fit its field.
class FieldOverflow : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// UTF-8 text to one byte per character: ASCII with accents removed, or
// ISO-8859-1. Typographic quotes, dashes and similar punctuation become their
// ASCII look-alikes; any other character without a form in the encoding (and
// any control character) becomes a blank.
std::string EncodeText(const std::string& utf8, TextEncoding encoding);

// Format X: left-aligned, cut at the width, blank-filled.
std::string X(const std::string& utf8, std::size_t width, TextEncoding encoding);
// Format N for codes and counters given as digits: digits only (anything else
// is dropped), right-aligned, zero-filled. A longer value keeps its last
// digits when `keep_last` (document numbers), and is an overflow otherwise.
std::string N(const std::string& digits, std::size_t width, bool keep_last = false);
// Format N for a non-negative whole number of the smallest unit (cents,
// thousandths): zero-filled. Throws FieldOverflow, naming the field, when it
// does not fit or is negative.
std::string N(std::int64_t value, std::size_t width, const char* field = "");
// AAAAMMDD of an ISO date "AAAA-MM-DD".
std::string DateField(const std::string& iso_date);

}  // namespace server
