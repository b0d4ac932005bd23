#include "host/qt/findings_csv.h"

#include "host/qt/check_words.h"
#include "lib/text/csv.h"

namespace qtfront {
namespace {

std::string Utf8(const std::string& text) { return FileText(text).toStdString(); }

std::string Lines(const std::vector<long>& lines) {
  std::string text;
  for (long line : lines) {
    if (line <= 0) continue;  // the file as a whole
    if (!text.empty()) text += ' ';
    text += std::to_string(line);
  }
  return text;
}

}  // namespace

std::string FindingsCsv(const layout::Report& report, const std::vector<FindingGroup>& groups) {
  std::vector<std::vector<std::string>> rows{
      {"gravidade", "regra", "linha", "ocorrências", "linhas", "registro", "campo", "documento", "mensagem"}};
  for (const FindingGroup& group : groups) {
    for (std::size_t index : group.problems) {
      const layout::Problem& p = report.problems[index];
      rows.push_back({SeverityWord(p.severity).toStdString(), p.rule,
                      p.line > 0 ? std::to_string(p.line) : std::string(), std::to_string(p.count),
                      Lines(p.lines), p.register_type, Utf8(p.field), Utf8(p.document), Utf8(p.message)});
    }
  }
  return text::CsvText(rows);
}

}  // namespace qtfront
