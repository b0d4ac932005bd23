#include "host/cli/batch_report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "lib/text/csv.h"

namespace cli {
namespace {

constexpr std::array kStatuses{FileStatus::Made, FileStatus::Kept, FileStatus::RefusedByScreen,
                               FileStatus::RefusedByServer, FileStatus::Failed};

constexpr std::array<const char*, 14> kColumns{"empresa", "inscricao", "inscricao-st", "uf",       "tipo",
                                               "de",      "ate",       "arquivo",      "situacao", "mensagem",
                                               "linhas",  "erros",     "avisos",       "segundos"};
// The columns from here on are counts: right-aligned and sorted as numbers.
constexpr std::size_t kFirstNumberColumn = 10;
constexpr std::size_t kFirstMonthColumn = 5;
constexpr std::size_t kLastMonthColumn = 6;
constexpr std::size_t kStatusColumn = 8;

// Beyond these the terminal summary says how many more there are, so that
// a large batch still fits on one screen.
constexpr std::size_t kProblemLinesShown = 20;
constexpr std::size_t kFindingsNamed = 10;

std::string Counted(long count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

std::string CountedStatus(long count, FileStatus status) {
  switch (status) {
    case FileStatus::Made: return Counted(count, "feito", "feitos");
    case FileStatus::Kept: return Counted(count, "mantido", "mantidos");
    case FileStatus::RefusedByScreen: return Counted(count, "recusado pela tela", "recusados pela tela");
    case FileStatus::RefusedByServer:
      return Counted(count, "recusado pelo servidor", "recusados pelo servidor");
    case FileStatus::Failed: return Counted(count, "falhou", "falharam");
  }
  return Counted(count, "?", "?");
}

// "12 arquivos: 9 feitos, 1 mantido, 2 falharam": the statuses no file has
// are left out.
std::string CountsLine(const std::vector<FileOutcome>& outcomes) {
  std::string line = Counted(static_cast<long>(outcomes.size()), "arquivo", "arquivos");
  const char* separator = ": ";
  for (FileStatus status : kStatuses) {
    const auto count = std::count_if(outcomes.begin(), outcomes.end(),
                                     [status](const FileOutcome& o) { return o.status == status; });
    if (count == 0) continue;
    line += separator + CountedStatus(static_cast<long>(count), status);
    separator = ", ";
  }
  return line;
}

bool HasFindings(const FileOutcome& outcome) { return outcome.errors > 0 || outcome.warnings > 0; }

// "2 erros, 1 aviso", a zero count left out.
std::string FindingCounts(const FileOutcome& outcome) {
  std::string text;
  if (outcome.errors > 0) text = Counted(outcome.errors, "erro", "erros");
  if (outcome.warnings > 0) {
    if (!text.empty()) text += ", ";
    text += Counted(outcome.warnings, "aviso", "avisos");
  }
  return text;
}

bool Refused(FileStatus status) {
  return status == FileStatus::RefusedByScreen || status == FileStatus::RefusedByServer;
}

// Which company and registration the file is for: "empresa 01, inscrição 1100…".
std::string Owner(const FileOutcome& outcome) {
  const ExportOptions& o = outcome.file.options;
  std::string text;
  const auto add = [&text](const char* label, const std::string& value) {
    if (value.empty()) return;
    if (!text.empty()) text += ", ";
    text += label + value;
  };
  add("empresa ", o.empresa);
  add("inscrição ", o.inscricao);
  add("inscrição ST ", o.inscricao_st);
  return text;
}

// A message on one terminal line.
std::string OneLine(std::string_view message) {
  std::string line;
  for (char c : message) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// Tenths of a second with a decimal comma, as a Brazilian spreadsheet reads
// a number; not through the C locale, which a host may have changed.
std::string Seconds(double seconds) {
  const long tenths = seconds > 0 ? std::lround(seconds * 10) : 0;
  return std::to_string(tenths / 10) + ',' + std::to_string(tenths % 10);
}

std::vector<std::string> Fields(const FileOutcome& outcome) {
  const ExportOptions& o = outcome.file.options;
  return {o.empresa,
          o.inscricao,
          o.inscricao_st,
          outcome.file.state,
          o.tipo.empty() ? std::string("SINTEGRA") : o.tipo,
          o.de,
          o.ate,
          outcome.name,
          StatusWord(outcome.status),
          outcome.message,
          std::to_string(outcome.lines),
          std::to_string(outcome.errors),
          std::to_string(outcome.warnings),
          Seconds(outcome.seconds)};
}

std::string Csv(const std::vector<FileOutcome>& outcomes) {
  std::vector<std::vector<std::string>> rows{{kColumns.begin(), kColumns.end()}};
  for (const FileOutcome& outcome : outcomes) rows.push_back(Fields(outcome));
  return text::CsvText(rows);
}

std::string Html(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

// A month as MM/AAAA or MMAAAA sorts by year first.
std::string MonthOrder(const std::string& month) {
  std::string digits;
  for (char c : month) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits.size() == 6 ? digits.substr(2) + digits.substr(0, 2) : month;
}

const char* StatusClass(FileStatus status) {
  if (status == FileStatus::Made || status == FileStatus::Kept) return "feito";
  return Refused(status) ? "recusado" : "falhou";
}

bool HasDetails(const FileOutcome& outcome) { return !outcome.message.empty() || !outcome.findings.empty(); }

constexpr const char* kStyle = R"css(
body { font-family: system-ui, sans-serif; margin: 1.5em; color: #222; }
table { border-collapse: collapse; }
th, td { border: 1px solid #ccc; padding: .25em .5em; text-align: left; vertical-align: top; }
th { background: #eee; cursor: pointer; user-select: none; white-space: nowrap; }
th[aria-sort=ascending]::after { content: " \25B2"; }
th[aria-sort=descending]::after { content: " \25BC"; }
td.numero { text-align: right; }
td.feito { background: #d4edd4; }
td.recusado { background: #fbdcb4; }
td.falhou { background: #f5c2c2; }
section { margin-top: 2em; }
.mensagem, pre { white-space: pre-wrap; }
pre { background: #f6f6f6; padding: .5em; overflow-x: auto; }
)css";

// Sorts the table by the column whose header is clicked; a second click
// reverses the order.
constexpr const char* kScript = R"js(
const tabela = document.getElementById('arquivos');
tabela.querySelectorAll('th').forEach((cabecalho, coluna) => {
  cabecalho.addEventListener('click', () => {
    const crescente = cabecalho.getAttribute('aria-sort') !== 'ascending';
    tabela.querySelectorAll('th').forEach((outro) => outro.removeAttribute('aria-sort'));
    cabecalho.setAttribute('aria-sort', crescente ? 'ascending' : 'descending');
    const numero = cabecalho.dataset.tipo === 'numero';
    const chave = (linha) => {
      const celula = linha.cells[coluna];
      const texto = celula.dataset.ordem !== undefined ? celula.dataset.ordem : celula.textContent;
      return numero ? parseFloat(texto.replace(',', '.')) || 0 : texto;
    };
    const corpo = tabela.tBodies[0];
    const linhas = Array.from(corpo.rows);
    linhas.sort((a, b) => {
      const x = chave(a), y = chave(b);
      const ordem = numero ? x - y : x.localeCompare(y, 'pt-BR', { numeric: true });
      return crescente ? ordem : -ordem;
    });
    linhas.forEach((linha) => corpo.appendChild(linha));
  });
});
)js";

std::string Cell(const FileOutcome& outcome, std::size_t column, const std::string& value, std::size_t row) {
  if (column >= kFirstNumberColumn) return "<td class=\"numero\">" + Html(value) + "</td>";
  if (column == kFirstMonthColumn || column == kLastMonthColumn) {
    return "<td data-ordem=\"" + Html(MonthOrder(value)) + "\">" + Html(value) + "</td>";
  }
  if (column != kStatusColumn) return "<td>" + Html(value) + "</td>";
  std::string cell = std::string("<td class=\"") + StatusClass(outcome.status) + "\">";
  if (HasDetails(outcome)) {
    cell += "<a href=\"#arquivo-" + std::to_string(row) + "\">" + Html(value) + "</a>";
  } else {
    cell += Html(value);
  }
  return cell + "</td>";
}

std::string Details(const FileOutcome& outcome, std::size_t row) {
  std::string html = "<section id=\"arquivo-" + std::to_string(row) + "\">\n<h2>" + Html(outcome.name) +
                     ": " + Html(StatusWord(outcome.status)) + "</h2>\n";
  const std::string owner = Owner(outcome);
  if (!owner.empty()) html += "<p>" + Html(owner) + "</p>\n";
  if (!outcome.message.empty()) html += "<p class=\"mensagem\">" + Html(outcome.message) + "</p>\n";
  if (!outcome.findings.empty()) {
    html += "<h3>Achados do verificador";
    if (HasFindings(outcome)) html += " (" + Html(FindingCounts(outcome)) + ")";
    html += "</h3>\n<pre>" + Html(outcome.findings) + "</pre>\n";
  }
  return html + "<p><a href=\"#arquivos\">voltar à tabela</a></p>\n</section>\n";
}

std::string HtmlReport(const std::string& title, const std::vector<FileOutcome>& outcomes) {
  std::string html = "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n";
  html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  html += "<title>" + Html(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  html += "<h1>" + Html(title) + "</h1>\n<p>" + Html(CountsLine(outcomes)) + "</p>\n";
  html += "<table id=\"arquivos\">\n<thead><tr>";
  for (std::size_t column = 0; column < kColumns.size(); ++column) {
    html += column >= kFirstNumberColumn ? "<th data-tipo=\"numero\">" : "<th>";
    html += std::string(kColumns[column]) + "</th>";
  }
  html += "</tr></thead>\n<tbody>\n";
  for (std::size_t row = 1; row <= outcomes.size(); ++row) {
    const FileOutcome& outcome = outcomes[row - 1];
    const std::vector<std::string> fields = Fields(outcome);
    html += "<tr>";
    for (std::size_t column = 0; column < fields.size(); ++column) {
      html += Cell(outcome, column, fields[column], row);
    }
    html += "</tr>\n";
  }
  html += "</tbody>\n</table>\n";
  for (std::size_t row = 1; row <= outcomes.size(); ++row) {
    if (HasDetails(outcomes[row - 1])) html += Details(outcomes[row - 1], row);
  }
  return html + "<script>" + kScript + "</script>\n</body>\n</html>\n";
}

[[noreturn]] void Unwritable(const std::filesystem::path& path, const std::string& why = "") {
  throw std::runtime_error("Não foi possível gravar o relatório " + path.string() + why);
}

// Written beside the report under another name and then renamed over it, so
// that the report is always either the old one or the new one, whole.
void WriteWhole(const std::filesystem::path& path, const std::string& content) {
  const std::filesystem::path temporary = path.string() + ".novo";
  std::error_code ignored;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temporary, ignored);
      Unwritable(path);
    }
  }
  std::error_code failed;
  std::filesystem::rename(temporary, path, failed);
  if (failed) {
    std::filesystem::remove(temporary, ignored);
    Unwritable(path);
  }
}

}  // namespace

const char* StatusWord(FileStatus status) {
  switch (status) {
    case FileStatus::Made: return "feito";
    case FileStatus::Kept: return "mantido";
    case FileStatus::RefusedByScreen: return "recusado pela tela";
    case FileStatus::RefusedByServer: return "recusado pelo servidor";
    case FileStatus::Failed: return "falhou";
  }
  return "falhou";
}

bool Clean(const FileOutcome& outcome) {
  return (outcome.status == FileStatus::Made || outcome.status == FileStatus::Kept) && outcome.errors == 0 &&
         outcome.warnings == 0;
}

void WriteReport(const std::string& directory, const std::string& title,
                 const std::vector<FileOutcome>& outcomes) {
  const std::filesystem::path folder(directory);
  const std::filesystem::path csv = folder / "relatorio.csv";
  std::error_code failed;
  std::filesystem::create_directories(folder, failed);
  if (failed) Unwritable(csv, ": a pasta " + directory + " não pôde ser criada");
  WriteWhole(csv, Csv(outcomes));
  WriteWhole(folder / "relatorio.html", HtmlReport(title, outcomes));
}

std::string TerminalSummary(const std::vector<FileOutcome>& outcomes) {
  std::string summary = CountsLine(outcomes) + '\n';

  std::vector<const FileOutcome*> found;
  for (const FileOutcome& outcome : outcomes) {
    if (HasFindings(outcome)) found.push_back(&outcome);
  }
  if (!found.empty()) {
    summary += "com achados do verificador: " + std::to_string(found.size()) + " (";
    for (std::size_t i = 0; i < found.size() && i < kFindingsNamed; ++i) {
      if (i > 0) summary += "; ";
      summary += found[i]->name + ": " + FindingCounts(*found[i]);
    }
    if (found.size() > kFindingsNamed)
      summary += "; … e mais " + std::to_string(found.size() - kFindingsNamed);
    summary += ")\n";
  }

  std::size_t problems = 0;
  for (const FileOutcome& outcome : outcomes) {
    if (outcome.status == FileStatus::Made || outcome.status == FileStatus::Kept) continue;
    if (++problems > kProblemLinesShown) continue;
    summary += std::string(StatusWord(outcome.status)) + ": " + outcome.name;
    const std::string owner = Owner(outcome);
    if (!owner.empty()) summary += " (" + owner + ")";
    const std::string message = OneLine(outcome.message);
    if (!message.empty()) summary += ": " + message;
    summary += '\n';
  }
  if (problems > kProblemLinesShown) {
    summary += "… e mais " + std::to_string(problems - kProblemLinesShown) + '\n';
  }
  return summary;
}

}  // namespace cli
