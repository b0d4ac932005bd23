#include "lib/wire/latin1.h"

#include <stdexcept>

#include "lib/text/utf8.h"

namespace wire {

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Utf8ToLatin1(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    if (c <= 0xC3 && ::text::utf8::SequenceLength(text, i) == 2) {
      std::size_t next = i;
      out += static_cast<char>(::text::utf8::Next(text, next));
      i = next - 1;
      continue;
    }
    throw std::invalid_argument("text holds a character outside ISO-8859-1 at byte " + std::to_string(i));
  }
  return out;
}

}  // namespace wire
