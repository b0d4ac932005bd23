#include <algorithm>
#include <cctype>

#include "lib/sql/session.h"

namespace sql {

std::vector<std::string> ParameterNames(const std::string& text) {
  std::vector<std::string> names;
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
    if (i + 1 < text.size() && text[i + 1] == ':') {  // a PostgreSQL cast
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
      ++end;
    if (end == i + 1) continue;
    std::string name = text.substr(i + 1, end - i - 1);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    i = end - 1;
  }
  return names;
}

}  // namespace sql
