#include "server/build/field_format.h"

#include <cctype>

#include "lib/text/utf8.h"
#include "lib/wire/latin1.h"

namespace server {
namespace {

// ASCII forms of the ISO-8859-1 letters and signs from U+00C0 up.
const char* const kAsciiFromC0[64] = {
    "A", "A", "A", "A", "A", "A", "A", "C", "E", "E", "E", "E", "I", "I", "I", "I",  // C0-CF
    "D", "N", "O", "O", "O", "O", "O", "x", "O", "U", "U", "U", "U", "Y", "T", "s",  // D0-DF
    "a", "a", "a", "a", "a", "a", "a", "c", "e", "e", "e", "e", "i", "i", "i", "i",  // E0-EF
    "o", "n", "o", "o", "o", "o", "o", "/", "o", "u", "u", "u", "u", "y", "t", "y",  // F0-FF
};

// ASCII forms of the signs between U+00A0 and U+00BF, and of the
// typographic punctuation that text pasted from office programs carries.
const char* AsciiLookAlike(char32_t cp) {
  switch (cp) {
    case 0xA0: return " ";
    case 0xAA: return "a";
    case 0xB0:
    case 0xBA: return "o";
    case 0xAB:
    case 0xBB:
    case 0x201C:
    case 0x201D:
    case 0x201E:
    case 0x201F:
    case 0x2033: return "\"";
    case 0xB4:
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x201B:
    case 0x2032: return "'";
    case 0xAD:
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212: return "-";
    case 0xB7:
    case 0x2022: return ".";
    case 0x2026: return "...";
    case 0xB9: return "1";
    case 0xB2: return "2";
    case 0xB3: return "3";
    case 0x2002:
    case 0x2003:
    case 0x2009:
    case 0x202F: return " ";
    default: return nullptr;
  }
}

}  // namespace

std::string EncodeText(const std::string& utf8, TextEncoding encoding) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t cp = text::utf8::Next(utf8, i);
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
      out += ' ';  // a line break or a control byte inside a value would break the line
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp >= 0xA0 && cp <= 0xFF && encoding == TextEncoding::Latin1) {
      out += static_cast<char>(cp);
    } else if (cp >= 0xC0 && cp <= 0xFF) {
      out += kAsciiFromC0[cp - 0xC0];
    } else if (const char* look_alike = AsciiLookAlike(cp)) {
      out += look_alike;
    } else {
      out += ' ';
    }
  }
  return out;
}

std::string X(const std::string& utf8, std::size_t width, TextEncoding encoding) {
  std::string text = EncodeText(utf8, encoding);
  if (text.size() > width) text.resize(width);
  text.append(width - text.size(), ' ');
  return text;
}

std::string N(const std::string& value, std::size_t width, bool keep_last) {
  std::string digits;
  for (char c : value) {
    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
  }
  if (digits.size() > width) {
    if (!keep_last)
      throw FieldOverflow("'" + value + "' does not fit " + std::to_string(width) + " positions");
    digits = digits.substr(digits.size() - width);
  }
  return std::string(width - digits.size(), '0') + digits;
}

std::string N(std::int64_t value, std::size_t width, const char* field) {
  const std::string text = std::to_string(value);
  if (value < 0 || text.size() > width) {
    throw FieldOverflow(std::string(*field ? field : "um campo numérico") + " não comporta o valor " + text +
                        (value < 0 ? " (negativo)" : " (" + std::to_string(width) + " posições)"));
  }
  return std::string(width - text.size(), '0') + text;
}

std::string DateField(const std::string& iso_date) {
  if (iso_date.size() < 10) throw FieldOverflow("'" + iso_date + "' is no date");
  return N(iso_date.substr(0, 4) + iso_date.substr(5, 2) + iso_date.substr(8, 2), 8);
}

}  // namespace server
