#pragma once
// Reading the authorised documents' XML by element path. Names are matched
// on their local part: the documents put their namespace as the default,
// but a file written with a prefix ("nfe:infNFe") says the same thing.
#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace server::import::xml {

std::string_view LocalName(const pugi::xml_node& node);
// The first child element named `name`, or an empty node.
pugi::xml_node Child(const pugi::xml_node& node, std::string_view name);
// The element at `path` ("ide/nNF") under `node`, or an empty node.
pugi::xml_node At(const pugi::xml_node& node, std::string_view path);
// The first child element, whatever its name (the groups of a choice).
pugi::xml_node FirstElement(const pugi::xml_node& node);
// The text of the element at `path`; throws ImportRefused naming the path
// when the element is missing or empty.
std::string Text(const pugi::xml_node& node, std::string_view path);
// The text of the element at `path`, or "" when it is missing.
std::string Optional(const pugi::xml_node& node, std::string_view path);
// Money at `path` in cents, 0 when the element is missing.
std::int64_t Cents(const pugi::xml_node& node, std::string_view path);
// A value at `path` with `decimals` places (rounded), 0 when missing.
std::int64_t Value(const pugi::xml_node& node, std::string_view path, int decimals);
// The date of an AAAA-MM-DDThh:mm:ss±hh:mm (or AAAA-MM-DD) text, as written
// (the issuer's local date); throws ImportRefused for another form.
std::string Date(const std::string& text, std::string_view what);

}  // namespace server::import::xml
