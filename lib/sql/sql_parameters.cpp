#include <algorithm>
#include <cctype>

#include "lib/sql/session.h"

namespace sql {
namespace {

// Calls `found(start, end, name)` for every ":NAME" of the text outside
// quotes, where [start, end) is the placeholder; "::" (a PostgreSQL cast) is
// not one.
template <typename F>
void ScanParameters(const std::string& text, F&& found) {
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    if (c != ':') continue;
    if (i + 1 < text.size() && text[i + 1] == ':') {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
      ++end;
    if (end == i + 1) continue;
    found(i, end, text.substr(i + 1, end - i - 1));
    i = end - 1;
  }
}

}  // namespace

std::vector<std::string> ParameterNames(const std::string& text) {
  std::vector<std::string> names;
  ScanParameters(text, [&](std::size_t, std::size_t, const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  });
  return names;
}

std::string PositionalText(const std::string& text) {
  const std::vector<std::string> names = ParameterNames(text);
  std::string out;
  std::size_t copied = 0;
  ScanParameters(text, [&](std::size_t start, std::size_t end, const std::string& name) {
    const auto position = std::find(names.begin(), names.end(), name) - names.begin() + 1;
    out.append(text, copied, start - copied);
    out += "$" + std::to_string(position);
    copied = end;
  });
  out.append(text, copied, std::string::npos);
  return out;
}

std::vector<std::optional<std::string>> OrderedValues(const std::vector<std::string>& names,
                                                      const std::vector<Param>& params) {
  for (const Param& p : params) {
    if (std::find(names.begin(), names.end(), p.name) == names.end())
      throw DatabaseError("parameter '" + p.name + "' is not used by the statement");
  }
  std::vector<std::optional<std::string>> values;
  values.reserve(names.size());
  for (const std::string& name : names) {
    const auto given =
        std::find_if(params.begin(), params.end(), [&](const Param& p) { return p.name == name; });
    if (given == params.end()) throw DatabaseError("parameter '" + name + "' has no value");
    values.push_back(given->value);
  }
  return values;
}

}  // namespace sql
