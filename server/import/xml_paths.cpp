#include "server/import/xml_paths.h"

#include "server/import/decimal_text.h"
#include "server/import/imported_document.h"

namespace server::import::xml {

std::string_view LocalName(const pugi::xml_node& node) {
  std::string_view name = node.name();
  const auto colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view name) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && LocalName(child) == name) return child;
  }
  return {};
}

pugi::xml_node At(const pugi::xml_node& node, std::string_view path) {
  pugi::xml_node at = node;
  while (at && !path.empty()) {
    const auto slash = path.find('/');
    at = Child(at, path.substr(0, slash));
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
  }
  return at;
}

pugi::xml_node FirstElement(const pugi::xml_node& node) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element) return child;
  }
  return {};
}

std::string Optional(const pugi::xml_node& node, std::string_view path) {
  const pugi::xml_node at = At(node, path);
  return at ? std::string(at.child_value()) : std::string();
}

std::string Text(const pugi::xml_node& node, std::string_view path) {
  std::string text = Optional(node, path);
  if (text.empty()) throw ImportRefused("falta o elemento " + std::string(path));
  return text;
}

std::int64_t Value(const pugi::xml_node& node, std::string_view path, int decimals) {
  const std::string text = Optional(node, path);
  return text.empty() ? 0 : Scaled(text, decimals, std::string(path));
}

std::int64_t Cents(const pugi::xml_node& node, std::string_view path) { return Value(node, path, 2); }

std::string Date(const std::string& text, std::string_view what) {
  const bool shaped =
      text.size() >= 10 && text[4] == '-' && text[7] == '-' && (text.size() == 10 || text[10] == 'T');
  bool digits = shaped;
  for (std::size_t k : {0, 1, 2, 3, 5, 6, 8, 9}) digits = digits && text[k] >= '0' && text[k] <= '9';
  if (!digits) throw ImportRefused(std::string(what) + ": '" + text + "' não é uma data AAAA-MM-DD");
  const int month = std::stoi(text.substr(5, 2)), day = std::stoi(text.substr(8, 2));
  if (month < 1 || month > 12 || day < 1 || day > 31)
    throw ImportRefused(std::string(what) + ": '" + text + "' não é uma data válida");
  return text.substr(0, 10);
}

}  // namespace server::import::xml
