#include "lib/text/utf8.h"

namespace text::utf8 {
namespace {

// The length a lead byte announces; 1 for a byte that leads nothing.
std::size_t LeadLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;
}

}  // namespace

char32_t Next(std::string_view s, std::size_t& i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  std::size_t n = LeadLength(c);
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

std::vector<std::string> Split(std::string_view text) {
  std::vector<std::string> characters;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    Next(text, i);
    characters.emplace_back(text.substr(start, i - start));
  }
  return characters;
}

std::size_t Length(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++n) Next(text, i);
  return n;
}

std::string Prefix(std::string_view text, std::size_t characters) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < characters && i < text.size(); ++n) Next(text, i);
  return std::string(text.substr(0, i));
}

std::string Encode(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

char32_t Decode(std::string_view c) {
  if (c.empty()) return 0;
  std::size_t i = 0;
  return Next(c, i);
}

std::string Join(const std::vector<std::string>& characters) {
  std::string out;
  for (const auto& c : characters) out += c;
  return out;
}

std::size_t SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char c = byte(0);
  if (c < 0x80) return 1;
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size() || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

bool IsValid(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = SequenceLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace text::utf8
