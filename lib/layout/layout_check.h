#pragma once
// Reads a magnetic file the way the state validators do and reports what
// they would refuse (errors) or question (warnings): each line's length,
// ending, fields and codes, the check digits of CNPJ, CPF and state
// registrations, the order of the registers, the ties between them (every
// 51, 53 and 54 to its 50, every product to exactly one 75) and the totals
// of register 90.
//
// This is a second reading of the layout, written apart from the server's
// builders on purpose: a fault in one is caught by the other.
#include <istream>
#include <string>
#include <vector>

#include "lib/layout/rule_book.h"

namespace layout {

// One finding. The same finding on several lines (one cause: every line
// ending in LF, one field empty throughout) is one problem counted on each.
struct Problem {
  long line = 0;  // 1-based, the first line it was found on; 0 for the file as a whole
  std::string message;
  Severity severity = Severity::Error;
  std::string register_type;  // "50", or empty
  std::string field;          // the field's name, or empty
  std::string document;       // "CNPJ … modelo … série … número …", or empty
  std::string rule;           // the name of its rule in the rule book
  long count = 1;             // the lines it was found on
  std::vector<long> lines;    // every one of them, in order
};

struct Report {
  long lines = 0;
  std::vector<Problem> problems;
  bool ok() const { return problems.empty(); }
  long Errors() const;
  long Warnings() const;
};

Report CheckStream(std::istream& in);
// Throws std::runtime_error when the file cannot be read.
Report CheckFile(const std::string& path);
// The findings grouped by rule (severity, rule, how many, the first lines),
// each group's first finding, then a summary; `all` lists every finding.
std::string Describe(const Report& report, bool all = false);
// The report as a JSON object, for machines: every finding with its lines.
std::string DescribeJson(const Report& report, const std::string& file);

}  // namespace layout
