#pragma once
// The values a batch run types into the magnetic-file screen, one per
// field, and what can be judged of them before anything is typed.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/cli/export_screen.h"

namespace cli {

struct ExportOptions {
  std::string tipo, empresa, imposto, inscricao, inscricao_st, livro, pais, estados, de, ate, versao,
      finalidade, nome, registros, inventario;
  bool registro_88st = false;
};

// A problem with the options, not with the screen: said before anything is
// typed, naming the option.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A month as the month field takes it typed, "MM/AAAA" or "MMAAAA", as
// "AAAAMM"; throws UsageError naming the option for anything else.
std::string YearMonthOf(const std::string& month, const char* option);

// The items of a comma-separated list, trimmed, the empty ones left out.
std::vector<std::string> SplitList(const std::string& list);

// The index of the list's item that starts with the code ("3" for
// "3 - Convênio ICMS xx/04"); throws UsageError naming the option.
int ItemStartingWith(const std::vector<std::string>& items, const std::string& code, const char* option);

// The register list's rows that --registros names ("50,54,88ST" or "todos");
// throws UsageError for a code the list does not have.
std::vector<std::size_t> RegisterRows(const std::string& registros);

// Everything the screen would refuse, drop or alter that needs no server:
// a period not named, a month that is no month, a file type, version,
// purpose or register outside the screen's lists, a name with characters
// the field drops or its key filter refuses, or longer than the field.
// Throws UsageError.
void RefuseBeforeTyping(const ExportOptions& options, const ExportScreen& screen);

}  // namespace cli
