#pragma once
// The findings of a check grouped by rule, in the order the checker's own
// report gives them: errors before warnings, each in the rule book's order.
#include <cstddef>
#include <vector>

#include "lib/layout/layout_check.h"
#include "lib/layout/rule_book.h"

namespace qtfront {

struct FindingGroup {
  const layout::Rule* rule = nullptr;
  std::vector<std::size_t> problems;  // indexes into the report's problems, in report order
  long lines = 0;                     // the distinct lines they were found on (0, the file, counts as one)
};

std::vector<FindingGroup> GroupFindings(const layout::Report& report);

}  // namespace qtfront
