#include "host/cli/export_options.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>

#include "lib/text/utf8.h"
#include "lib/wire/file_name.h"
#include "lib/wire/host_date.h"

namespace cli {
namespace {

// The codes of the register list's rows, in its order.
constexpr std::array<const char*, 12> kRegisterCodes = {"50", "51", "53", "54", "55",   "60",
                                                        "61", "70", "74", "75", "88ST", "88SM"};

std::string Joined(const std::vector<std::string>& codes) {
  std::string out;
  for (const auto& code : codes) out += (out.empty() ? "" : ", ") + code;
  return out;
}

// The codes a list's items start with ("1", "2", "3" of the versions).
std::vector<std::string> CodesOf(const std::vector<std::string>& items) {
  std::vector<std::string> codes;
  for (const auto& item : items) codes.push_back(item.substr(0, item.find(' ')));
  return codes;
}

// How a character that the name field drops is named to the user.
std::string ControlName(unsigned char c) {
  switch (c) {
    case '\t': return "TAB";
    case '\n': return "LF";
    case '\r': return "CR";
    default: {
      char name[8];
      std::snprintf(name, sizeof name, "0x%02X", c);
      return name;
    }
  }
}

// The name field drops control characters, its key filter refuses the
// characters a file name may not hold, and its length cuts the rest: a
// batch caller's name would be written altered.
void RefuseAlteredName(const std::string& name, const tk::TCustomEdit& field) {
  if (!::text::utf8::IsValid(name)) throw UsageError("--nome: o nome não é texto UTF-8 válido");
  std::string dropped;
  std::string refused;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) {
      const std::string named = ControlName(c);
      if (dropped.find(named) == std::string::npos) dropped += (dropped.empty() ? "" : " ") + named;
    } else if (wire::IsForbiddenInFileName(c) && refused.find(static_cast<char>(c)) == std::string::npos) {
      refused += refused.empty() ? "" : " ";
      refused += static_cast<char>(c);
    }
  }
  if (!dropped.empty())
    throw UsageError("--nome: a tela descarta do nome os caracteres de controle " + dropped);
  if (!refused.empty()) throw UsageError("--nome: a tela recusa no nome os caracteres " + refused);
  const std::size_t characters = ::text::utf8::Length(name);
  const int limit = field.MaxLength();
  if (limit > 0 && characters > static_cast<std::size_t>(limit)) {
    throw UsageError("--nome: o nome tem " + std::to_string(characters) + " caracteres; a tela aceita até " +
                     std::to_string(limit));
  }
}

}  // namespace

std::string YearMonthOf(const std::string& month, const char* option) {
  std::string digits = month;
  if (digits.size() == 7 && digits[2] == '/') digits.erase(2, 1);
  const bool shaped = digits.size() == 6 && std::all_of(digits.begin(), digits.end(),
                                                        [](unsigned char c) { return c >= '0' && c <= '9'; });
  if (shaped && wire::IsValidCalendarDate(std::stoi(digits.substr(2)), std::stoi(digits.substr(0, 2)), 1))
    return digits.substr(2) + digits.substr(0, 2);
  throw UsageError(std::string(option) + ": '" + month + "' não é um mês válido (MM/AAAA)");
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, ',');) {
    item.erase(0, item.find_first_not_of(' '));
    item.erase(item.find_last_not_of(' ') + 1);
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

int ItemStartingWith(const std::vector<std::string>& items, const std::string& code, const char* option) {
  const auto codes = CodesOf(items);
  const auto it = std::find(codes.begin(), codes.end(), code);
  if (it == codes.end()) {
    throw UsageError(std::string(option) + ": '" + code + "' não está na lista da tela (" + Joined(codes) +
                     ")");
  }
  return static_cast<int>(it - codes.begin());
}

std::vector<std::size_t> RegisterRows(const std::string& registros) {
  std::vector<std::size_t> rows;
  if (registros == "todos") {
    for (std::size_t i = 0; i < kRegisterCodes.size(); ++i) rows.push_back(i);
    return rows;
  }
  for (const auto& code : SplitList(registros)) {
    const auto it = std::find(kRegisterCodes.begin(), kRegisterCodes.end(), code);
    if (it == kRegisterCodes.end()) {
      throw UsageError("--registros: '" + code + "' não é um item da lista de registros (" +
                       Joined(std::vector<std::string>(kRegisterCodes.begin(), kRegisterCodes.end())) +
                       " ou todos)");
    }
    rows.push_back(static_cast<std::size_t>(it - kRegisterCodes.begin()));
  }
  return rows;
}

void RefuseBeforeTyping(const ExportOptions& o, const ExportScreen& screen) {
  if (!o.tipo.empty()) {
    const auto& types = screen.cbbArquivo.Items();
    if (std::find(types.begin(), types.end(), o.tipo) == types.end()) {
      throw UsageError("--tipo: '" + o.tipo + "' não é um tipo de arquivo da tela (" + Joined(types) + ")");
    }
  }
  // The months start on the current one: a batch run names its period.
  if (o.de.empty()) throw UsageError("--de: o primeiro mês do período deve ser informado");
  if (o.ate.empty()) throw UsageError("--ate: o último mês do período deve ser informado");
  YearMonthOf(o.de, "--de");
  YearMonthOf(o.ate, "--ate");
  if (!o.inventario.empty()) YearMonthOf(o.inventario, "--inventario");
  if (!o.versao.empty()) ItemStartingWith(screen.cbbVersao.Items(), o.versao, "--versao");
  if (!o.finalidade.empty()) ItemStartingWith(screen.cbbFinalidade.Items(), o.finalidade, "--finalidade");
  if (!o.registros.empty()) RegisterRows(o.registros);
  RefuseAlteredName(o.nome, screen.edtNmArquivo);
}

}  // namespace cli
