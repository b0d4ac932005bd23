#pragma once
// Conversions between UTF-8 text and ISO-8859-1 bytes (one byte per character).
#include <string>

namespace wire {

// Every byte becomes the character with the same code point.
std::string Latin1ToUtf8(const std::string& bytes);
// Every character becomes one byte. Throws std::invalid_argument for a
// character above U+00FF or for text that is not UTF-8.
std::string Utf8ToLatin1(const std::string& text);

}  // namespace wire
