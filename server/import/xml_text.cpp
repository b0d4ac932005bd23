#include "server/import/xml_text.h"

#include <cctype>
#include <cstdio>

#include "lib/text/utf8.h"
#include "server/import/imported_document.h"

namespace server::import {
namespace {

std::string Upper(std::string_view s) {
  std::string upper(s);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The encoding the declaration names (upper case), or empty without one.
std::string DeclaredEncoding(std::string_view text) {
  if (text.substr(0, 5) != "<?xml") return {};
  const std::string_view declaration = text.substr(0, text.find("?>"));
  const auto at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  const auto quote = declaration.find_first_of("\"'", at);
  if (quote == std::string_view::npos) return {};
  const auto end = declaration.find(declaration[quote], quote + 1);
  if (end == std::string_view::npos) return {};
  return Upper(declaration.substr(quote + 1, end - quote - 1));
}

std::string Byte(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", c);
  return text;
}

// Windows-1252's characters for 0x80-0x9F, where ISO-8859-1 has its C1
// controls; 0 where the code page has none.
constexpr char32_t kWindows1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// `offset`: where `bytes` start in the file, for the positions a refusal gives.
std::string FromSingleByte(std::string_view bytes, std::size_t offset, bool windows,
                           const std::string& encoding) {
  std::string utf8;
  utf8.reserve(bytes.size() + bytes.size() / 8);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
      continue;
    }
    char32_t code = c;
    if (windows && c < 0xA0) {
      code = kWindows1252[c - 0x80];
      if (!code)
        throw ImportRefused("o byte " + Byte(c) + " na posição " + std::to_string(offset + i) +
                            " não é um caractere " + encoding);
    }
    utf8 += ::text::utf8::Encode(code);
  }
  return utf8;
}

}  // namespace

std::string Utf8Text(std::string_view bytes) {
  // Positions count from the start of the file, mark included.
  const std::size_t offset = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  bytes.remove_prefix(offset);
  if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
    throw ImportRefused("o arquivo está em UTF-16: salve-o em UTF-8, como o leiaute pede");
  const std::string encoding = DeclaredEncoding(bytes);
  if (encoding == "ISO-8859-1" || encoding == "ISO8859-1" || encoding == "ISO_8859-1" || encoding == "LATIN1")
    return FromSingleByte(bytes, offset, false, encoding);
  if (encoding == "WINDOWS-1252" || encoding == "CP1252")
    return FromSingleByte(bytes, offset, true, encoding);
  if (!encoding.empty() && encoding != "UTF-8" && encoding != "UTF8")
    throw ImportRefused("a codificação declarada '" + encoding +
                        "' não é aceita: UTF-8 (a do leiaute), ISO-8859-1 ou Windows-1252");
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = ::text::utf8::SequenceLength(bytes, i);
    if (length == 0)
      throw ImportRefused(
          "o byte " + Byte(static_cast<unsigned char>(bytes[i])) + " na posição " +
          std::to_string(offset + i) + " não é UTF-8 válido (o arquivo " +
          (encoding.empty() ? "não declara codificação: vale a do leiaute, UTF-8" : "se declara UTF-8") +
          ")");
    i += length;
  }
  return std::string(bytes);
}

}  // namespace server::import
