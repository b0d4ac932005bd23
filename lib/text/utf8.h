#pragma once
// Text inside the system is UTF-8; lengths and positions that a user sees
// count characters (code points), not bytes. The one place that knows how
// UTF-8 is put together.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace text::utf8 {

// The code point that starts at s[i], advancing i past it. A byte that does
// not start a complete sequence is read as one character of its own value,
// so that nothing is ever lost.
char32_t Next(std::string_view s, std::size_t& i);
// Splits a text into its characters, each as its UTF-8 bytes, as Next reads them.
std::vector<std::string> Split(std::string_view text);
// How many characters Next reads in a text.
std::size_t Length(std::string_view text);
// The first `characters` characters of a text (the whole text when shorter).
std::string Prefix(std::string_view text, std::size_t characters);
std::string Encode(char32_t code_point);
// The first code point of a one-character text (0 for an empty text).
char32_t Decode(std::string_view character);
std::string Join(const std::vector<std::string>& characters);

// The length of the well-formed UTF-8 sequence that starts at text[i], or 0
// when the bytes there are none (overlong forms and surrogates included).
std::size_t SequenceLength(std::string_view text, std::size_t i);
// Whether a text is well-formed UTF-8 throughout.
bool IsValid(std::string_view text);

}  // namespace text::utf8
