#include "lib/text/csv.h"

namespace text {
namespace {

void Field(std::string& out, const std::string& text) {
  const bool quoted = text.find_first_of(";\"\r\n") != std::string::npos ||
                      (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quoted) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

std::string CsvText(const std::vector<std::vector<std::string>>& rows) {
  std::string out = "\xEF\xBB\xBF";
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) out += ';';
      Field(out, row[i]);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace text
