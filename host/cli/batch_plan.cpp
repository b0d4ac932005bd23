#include "host/cli/batch_plan.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace cli {
namespace {

using Field = std::string ExportOptions::*;

// The columns a plan may have, named as the long options.
const std::map<std::string, Field>& Columns() {
  static const std::map<std::string, Field> columns = {
      {"tipo", &ExportOptions::tipo},
      {"empresa", &ExportOptions::empresa},
      {"imposto", &ExportOptions::imposto},
      {"inscricao", &ExportOptions::inscricao},
      {"inscricao-st", &ExportOptions::inscricao_st},
      {"livro", &ExportOptions::livro},
      {"pais", &ExportOptions::pais},
      {"estados", &ExportOptions::estados},
      {"de", &ExportOptions::de},
      {"ate", &ExportOptions::ate},
      {"versao", &ExportOptions::versao},
      {"finalidade", &ExportOptions::finalidade},
      {"nome", &ExportOptions::nome},
      {"registros", &ExportOptions::registros},
      {"inventario", &ExportOptions::inventario},
  };
  return columns;
}

// A line's fields: separated by commas or semicolons (as the header is),
// quoted with double quotes when they hold one.
std::vector<std::string> Fields(const std::string& line, char separator) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == separator) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& field : fields) {
    field.erase(0, field.find_first_not_of(" \t"));
    field.erase(field.find_last_not_of(" \t") + 1);
  }
  return fields;
}

std::string WithoutLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
  return line;
}

}  // namespace

std::vector<PlannedFile> ReadPlan(std::istream& in, const std::string& pattern) {
  std::string header;
  int number = 0;
  bool found = false;
  while (!found && std::getline(in, header)) {
    ++number;
    header = WithoutLineEnd(header);
    found = header.find_first_not_of(" \t") != std::string::npos;
  }
  if (!found) throw PlanError("o plano não tem a linha de cabeçalho (empresa,inscricao,de,…)");
  const std::string at_header = "linha " + std::to_string(number) + ": ";
  const char separator = header.find(';') != std::string::npos ? ';' : ',';
  std::vector<Field> order;
  std::vector<std::string> names;
  for (const std::string& name : Fields(header, separator)) {
    const auto it = Columns().find(name);
    if (it == Columns().end()) {
      std::string known;
      for (const auto& [column, field] : Columns()) known += (known.empty() ? "" : ", ") + column;
      throw PlanError(at_header + "a coluna '" + name + "' não é uma opção da tela (" + known + ")");
    }
    if (std::find(names.begin(), names.end(), name) != names.end())
      throw PlanError(at_header + "a coluna '" + name + "' aparece duas vezes");
    order.push_back(it->second);
    names.push_back(name);
  }
  for (const char* required : {"empresa", "inscricao", "de"}) {
    if (std::find(names.begin(), names.end(), required) == names.end())
      throw PlanError(at_header + "o plano não tem a coluna '" + required + "'");
  }
  std::vector<PlannedFile> plan;
  for (std::string line; std::getline(in, line);) {
    ++number;
    line = WithoutLineEnd(line);
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    const auto fields = Fields(line, separator);
    if (fields.size() > order.size()) {
      throw PlanError("linha " + std::to_string(number) + ": " + std::to_string(fields.size()) +
                      " campos, e o cabeçalho tem " + std::to_string(order.size()));
    }
    PlannedFile file;
    file.line = number;
    for (std::size_t i = 0; i < fields.size(); ++i) file.options.*order[i] = fields[i];
    ExportOptions& o = file.options;
    if (o.ate.empty()) o.ate = o.de;
    if (o.versao.empty()) o.versao = "3";
    if (o.nome.empty()) o.nome = pattern;
    plan.push_back(std::move(file));
  }
  return plan;
}

std::string NameFromPattern(const PlannedFile& file) {
  const ExportOptions& o = file.options;
  const std::string aaaamm = YearMonthOf(o.de, "--de");
  std::string type;
  for (char c : o.tipo.empty() ? std::string("SINTEGRA") : o.tipo) {
    if (std::isalnum(static_cast<unsigned char>(c))) type += c;
  }
  const std::map<std::string, std::string> values = {
      {"empresa", o.empresa},
      {"inscricao", o.inscricao_st.empty() ? o.inscricao : o.inscricao_st},
      {"uf", file.state},
      {"aaaamm", aaaamm},
      {"tipo", type}};
  std::string name;
  const std::string& pattern = o.nome;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '{') {
      name += pattern[i];
      continue;
    }
    const std::size_t end = pattern.find('}', i);
    const std::string key = end == std::string::npos ? pattern.substr(i) : pattern.substr(i + 1, end - i - 1);
    const auto it = values.find(key);
    if (end == std::string::npos || it == values.end()) {
      throw UsageError("--nome: '{" + key +
                       "}' não é um campo do nome ({empresa}, {inscricao}, {uf}, {aaaamm}, {tipo})");
    }
    name += it->second;
    i = end;
  }
  return name;
}

}  // namespace cli
