#pragma once
// Tables as CSV for a spreadsheet: UTF-8 with its byte order mark, fields
// separated by semicolons (a Brazilian spreadsheet's list separator), lines
// ended by CR LF.
#include <string>
#include <vector>

namespace text {

// Each row's fields in UTF-8; a field is quoted when it holds the
// separator, a quote, a line break or blanks at its ends (which a
// spreadsheet would otherwise drop).
std::string CsvText(const std::vector<std::vector<std::string>>& rows);

}  // namespace text
