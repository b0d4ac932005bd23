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

namespace layout {

enum class Severity { Error, Warning };

struct Problem {
  long line = 0;  // 1-based; 0 for the file as a whole
  std::string message;
  Severity severity = Severity::Error;
  std::string register_type;  // "50", or empty
  std::string field;          // the field's name, or empty
  std::string document;       // "CNPJ … modelo … série … número …", or empty
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
// One line per problem, then a summary.
std::string Describe(const Report& report);
// The report as a JSON object, for machines.
std::string DescribeJson(const Report& report, const std::string& file);

}  // namespace layout
