#pragma once
// Text inside the module is UTF-8; lengths and positions that the user sees
// count characters (code points), not bytes.
#include <cstddef>
#include <string>
#include <vector>

namespace tk::utf8 {

// Splits a text into its characters, each as its UTF-8 bytes. Invalid bytes
// are kept as one-byte characters so that nothing is ever lost.
std::vector<std::string> Split(const std::string& text);
std::size_t Length(const std::string& text);
std::string Encode(char32_t code_point);
// The first code point of a one-character text (0 for an empty text).
char32_t Decode(const std::string& character);
std::string Join(const std::vector<std::string>& characters);

}  // namespace tk::utf8
