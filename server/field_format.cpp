#include "server/field_format.h"

#include <cctype>

#include "lib/wire/latin1.h"

namespace server {
namespace {

// ASCII forms of the ISO-8859-1 letters and signs from U+00C0 up.
const char* const kAsciiFromC0[64] = {
    "A", "A", "A", "A", "A", "A", "A", "C", "E", "E", "E", "E", "I", "I", "I", "I",  // C0-CF
    "D", "N", "O", "O", "O", "O", "O", "x", "O", "U", "U", "U", "U", "Y", "?", "s",  // D0-DF
    "a", "a", "a", "a", "a", "a", "a", "c", "e", "e", "e", "e", "i", "i", "i", "i",  // E0-EF
    "o", "n", "o", "o", "o", "o", "o", "/", "o", "u", "u", "u", "u", "y", "?", "y",  // F0-FF
};

char32_t Next(const std::string& s, std::size_t& i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (i + n > s.size()) n = 1;
  char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) {
      n = 1;
      cp = c;
      break;
    }
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  i += n;
  return cp;
}

}  // namespace

std::string EncodeText(const std::string& utf8, TextEncoding encoding) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t cp = Next(utf8, i);
    if (cp == U'\r' || cp == U'\n' || cp == U'\t') {
      out += ' ';  // a line break inside a value would break the line
    } else if (cp < 0x20 || cp == 0x7F) {
      out += '?';
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp >= 0xA0 && cp <= 0xFF && encoding == TextEncoding::Latin1) {
      out += static_cast<char>(cp);
    } else if (cp >= 0xC0 && cp <= 0xFF) {
      out += kAsciiFromC0[cp - 0xC0];
    } else if (cp == 0xAA) {
      out += 'a';
    } else if (cp == 0xBA || cp == 0xB0) {
      out += 'o';
    } else if (cp == 0xA0) {
      out += ' ';
    } else {
      out += '?';
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

std::string N(std::int64_t value, std::size_t width) {
  if (value < 0) throw FieldOverflow("negative value " + std::to_string(value) + " in a numeric field");
  return N(std::to_string(value), width);
}

std::string DateField(const std::string& iso_date) {
  if (iso_date.size() < 10) throw FieldOverflow("'" + iso_date + "' is no date");
  return N(iso_date.substr(0, 4) + iso_date.substr(5, 2) + iso_date.substr(8, 2), 8);
}

}  // namespace server
