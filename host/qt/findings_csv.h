#pragma once
// The findings of a check as a CSV file for a spreadsheet: UTF-8 with its
// byte order mark, fields separated by semicolons (a Brazilian spreadsheet's
// list separator), lines ended by CR LF, one row per finding in the order
// the window shows them.
#include <string>
#include <vector>

#include "host/qt/finding_groups.h"
#include "lib/layout/layout_check.h"

namespace qtfront {

std::string FindingsCsv(const layout::Report& report, const std::vector<FindingGroup>& groups);

}  // namespace qtfront
