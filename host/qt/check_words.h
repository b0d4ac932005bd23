#pragma once
// The words the check window says about a check: counts in the Brazilian
// way ("1.142.384"), the summary line, the severities, and the text of the
// file (ISO-8859-1, or UTF-8 where it is well-formed) as a QString.
#include <QString>
#include <string>

#include "lib/layout/layout_check.h"

namespace qtfront {

// 1142384 -> "1.142.384".
QString Thousands(long long n);
// "3 erros, 1 aviso em 1.142.384 linhas"; "sem erros nem avisos em 80 linhas".
QString CheckSummary(const layout::Report& report);
// "erro" or "aviso".
QString SeverityWord(layout::Severity severity);
// Text of the file or of the checker's words about it.
QString FileText(const std::string& text);

}  // namespace qtfront
