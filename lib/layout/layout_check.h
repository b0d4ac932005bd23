#pragma once
// Reads a magnetic file and reports every line that breaks the layout: line
// length and ending, register types and their order, numeric and date fields,
// dates inside the period, the product codes of 75 and the totals of 90.
#include <istream>
#include <string>
#include <vector>

namespace layout {

struct Problem {
  long line = 0;  // 1-based; 0 for the file as a whole
  std::string message;
};

struct Report {
  long lines = 0;
  std::vector<Problem> problems;
  bool ok() const { return problems.empty(); }
};

Report CheckStream(std::istream& in);
// Throws std::runtime_error when the file cannot be read.
Report CheckFile(const std::string& path);
std::string Describe(const Report& report);

}  // namespace layout
