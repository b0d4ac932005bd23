#pragma once
// The plan of a batch: the files an office makes for a month, one per line
// of a CSV file whose header names the columns as mag-export's long options
// do (empresa,inscricao,inscricao-st,tipo,de,ate,finalidade,nome …), or
// made from the server's lookups for every locked month (month_plan.h).
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/cli/export_options.h"

namespace cli {

// The plan as a whole cannot be read: no header, an unknown column, a line
// with more fields than the header. A batch with such a plan makes nothing.
struct PlanError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PlannedFile {
  int line = 0;           // in the plan file; 0 for a plan made from the lookups
  ExportOptions options;  // the screen's values; nome is the pattern until named
  std::string state;      // the file's state: the substitute's, or the registration's
};

// The default name pattern.
inline constexpr const char* kNamePattern = "{empresa}_{inscricao}_{uf}_{aaaamm}.txt";

// Reads a plan. Columns left out take the defaults: ate = de, versao 3,
// nome = `pattern`; finalidade is left to the batch's own default. Throws
// PlanError.
std::vector<PlannedFile> ReadPlan(std::istream& in, const std::string& pattern);

// The file's name from its pattern: {empresa}, {inscricao} (the
// substitute's registration for a substitute's file), {uf}, {aaaamm} (the
// first month), {tipo} (letters and digits of the file type). Throws
// UsageError naming an unknown placeholder.
std::string NameFromPattern(const PlannedFile& file);

}  // namespace cli
