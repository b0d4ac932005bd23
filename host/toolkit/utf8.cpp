#include "host/toolkit/utf8.h"

namespace tk::utf8 {
namespace {
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;
}
}  // namespace

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> characters;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = SequenceLength(static_cast<unsigned char>(text[i]));
    bool valid = i + n <= text.size();
    for (std::size_t k = 1; valid && k < n; ++k)
      valid = (static_cast<unsigned char>(text[i + k]) >> 6) == 0x2;
    if (!valid) n = 1;
    characters.push_back(text.substr(i, n));
    i += n;
  }
  return characters;
}

std::size_t Length(const std::string& text) { return Split(text).size(); }

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

char32_t Decode(const std::string& c) {
  if (c.empty()) return 0;
  const auto b = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(c[i])); };
  const std::size_t n = SequenceLength(static_cast<unsigned char>(c[0]));
  if (n == 1 || c.size() < n) return b(0);
  if (n == 2) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  if (n == 3) return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
}

std::string Join(const std::vector<std::string>& characters) {
  std::string out;
  for (const auto& c : characters) out += c;
  return out;
}

}  // namespace tk::utf8
