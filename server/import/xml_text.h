#pragma once
// The text of an XML document as UTF-8, whatever encoding it declares. The
// layouts ask for UTF-8, but documents come from many systems: some declare
// ISO-8859-1 or Windows-1252, some begin with a byte-order mark. Each is
// turned into UTF-8 before it is read, so that the tables (and the files
// built from them) hold one encoding only.
#include <string>
#include <string_view>

namespace server::import {

// The document's bytes as UTF-8: a UTF-8 byte-order mark dropped, a
// declared ISO-8859-1 or Windows-1252 text converted. Throws ImportRefused
// for bytes that are not valid in the declared encoding (naming the first
// one and its position), for an encoding other than these, and for UTF-16.
std::string Utf8Text(std::string_view bytes);

}  // namespace server::import
