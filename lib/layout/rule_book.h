#pragma once
// The rules a magnetic file is held to, each once: its name, its severity
// (an error is what the state validators refuse, a warning what they only
// question or what the layout prescribes without refusing) and where it
// comes from. The checker reports findings under these names; the export
// and the import refuse by the same rules (document_rules.h), so that what
// is brought in can be written, and what is written passes the check.
// docs/checker.md gives the table with its sources.
#include <string_view>
#include <vector>

namespace layout {

enum class Severity { Error, Warning };

struct Rule {
  std::string_view name;  // "party-ie": stable, for scripts and the JSON report
  Severity severity = Severity::Error;
  std::string_view says;    // what a file must do, in one line
  std::string_view source;  // where the rule comes from
};

// Every rule, in the order the checker's text report lists its groups.
const std::vector<Rule>& RuleBook();
// The rule of a name; throws std::out_of_range for a name the book lacks.
const Rule& RuleNamed(std::string_view name);

}  // namespace layout
